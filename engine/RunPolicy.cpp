#include "engine/RunPolicy.h"

#include <algorithm>

#include "engine/CommandLine.h"

namespace palomix {

bool JobPlan::FailsAhead() const {
    return problem != JobProblem::None ||
           std::any_of(lines.begin(), lines.end(), [](const PlannedLine& l) { return !l.Runs(); });
}

std::optional<PlannedLine> RunPolicy::PlanLine(const CommandTemplate& commandTemplate,
                                               const JobInputs& job, DeviceAccess& devices) const {
    if (IsSkippedTemplate(commandTemplate.text)) {
        return std::nullopt;
    }
    PlannedLine planned;
    planned.templateNumber = commandTemplate.number;
    if (commandTemplate.cut) {
        // Never prepared: preparing it could create a player's folder for a line that is not run.
        planned.notRun = NotRun{NotRunReason::TooLong, {}, commandTemplate.text.size()};
        return planned;
    }
    std::string missingPlayer;
    std::optional<std::string> line = PrepareCommandLine(
        commandTemplate.text, CommandValues{job.inputPath, job.outputFolder, appFolder_}, devices,
        style_, &missingPlayer);
    if (!line) {
        return std::nullopt;
    }
    planned.commandLine = std::move(*line);
    if (!missingPlayer.empty()) {
        planned.notRun = NotRun{NotRunReason::PlayerNotAttached, missingPlayer, 0};
    }
    return planned;
}

JobPlan RunPolicy::PlanJob(const std::vector<CommandTemplate>* templates,
                           const std::string& settingsFile, const JobInputs& job,
                           DeviceAccess& devices) const {
    JobPlan plan;
    if (templates == nullptr) {
        plan.problem = JobProblem::SettingsUnreadable;
        plan.problemSubject = settingsFile;
        return plan;
    }
    for (const CommandTemplate& commandTemplate : *templates) {
        if (std::optional<PlannedLine> line = PlanLine(commandTemplate, job, devices)) {
            plan.lines.push_back(std::move(*line));
        }
    }
    if (plan.lines.empty()) {
        plan.problem = JobProblem::NothingToRun;
    }
    return plan;
}

}  // namespace palomix
