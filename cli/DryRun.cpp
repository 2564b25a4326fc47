#include "cli/DryRun.h"

#include <memory>
#include <string>

#include "cli/JobReport.h"
#include "cli/JsonText.h"
#include "cli/LaunchArguments.h"
#include "cli/RunReporter.h"

namespace palomix {

namespace {

// The job as one line of JSON.
std::string JobJson(const Engine& engine, std::int32_t index, const JobPlan& plan,
                    NativeLauncher& finder) {
    std::string json = "{\"input\":" + JsonString(engine.Jobs().JobPath(index)) +
                       ",\"output_folder\":" + JsonString(engine.OutputFolder()) +
                       ",\"commands\":[";
    std::string notRun;
    bool first = true;
    for (const PlannedLine& line : plan.lines) {
        if (line.Runs()) {
            json += first ? "" : ",";
            json += JsonStringArray(LaunchArguments(line.commandLine, finder));
            first = false;
        } else {
            notRun += notRun.empty() ? "" : ",";
            notRun += "{\"command\":" + std::to_string(line.templateNumber) +
                      ",\"reason\":" + JsonString(NotRunText(*line.notRun)) + "}";
        }
    }
    json += "]";
    if (!notRun.empty()) {
        json += ",\"not_run\":[" + notRun + "]";
    }
    if (plan.problem != JobProblem::None) {
        json += ",\"problem\":" + JsonString(JobProblemText(plan.problem, plan.problemSubject));
    }
    return json + "}";
}

}  // namespace

int PrintDryRun(Engine& engine, DryRunFormat format, std::ostream& out, std::ostream& err) {
    // Finds programs as the run's launcher does; starts nothing.
    const std::unique_ptr<NativeLauncher> finder =
        format == DryRunFormat::Json ? MakeNativeLauncher() : nullptr;
    int status = kBatchExitConverted;
    const std::vector<JobPlan> plans = engine.PlanAll();
    for (std::int32_t index = 0; index < static_cast<std::int32_t>(plans.size()); ++index) {
        const JobPlan& plan = plans[static_cast<std::size_t>(index)];
        const std::string name = PrintableText(engine.Jobs().FileName(index));
        if (format == DryRunFormat::Json) {
            out << JobJson(engine, index, plan, *finder) << '\n';
        }
        for (const PlannedLine& line : plan.lines) {
            if (!line.Runs()) {
                err << "palomix-batch: note: " << name << ": command " << line.templateNumber
                    << " would not run: " << NotRunText(*line.notRun) << '\n';
                status = kBatchExitCommandFailed;
            } else if (format == DryRunFormat::Text) {
                out << line.commandLine << '\n';
            }
        }
        if (plan.problem == JobProblem::NotConvertible ||
            plan.problem == JobProblem::OutputExists) {
            // Left out on purpose, as the run would: no error.
            err << "palomix-batch: note: " << name << ": would be skipped ("
                << JobProblemText(plan.problem, plan.problemSubject) << ")\n";
        } else if (plan.problem != JobProblem::None) {
            err << "palomix-batch: note: " << name << ": "
                << JobProblemText(plan.problem, plan.problemSubject) << '\n';
            status = kBatchExitCommandFailed;
        }
    }
    return status;
}

}  // namespace palomix
