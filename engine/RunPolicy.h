// The run policy: the one place that decides, for a job, which command lines of the chosen
// command are started and what each one becomes. The batch run asks it for every line when
// that line's turn comes, and a plan (palomix-batch --dry-run, "Copy the command lines")
// asks it for all lines at once, so what is shown can never differ from what runs.
//
// For each command template of the command, in number order:
// - an empty template or a tool line is passed over without a word;
// - a template that the settings file holds longer than the reading rules keep is not run
//   (it would run cut);
// - a line whose player placeholder found no attached player is not run (it would write a
//   file with no folder into the current folder);
// - every other line is prepared and started.
// A job whose settings file cannot be read, or whose command has no line to run at all,
// cannot convert.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/JobResult.h"
#include "platform/Drives.h"
#include "platform/PathRules.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

// The values a job's lines are prepared with.
struct JobInputs {
    std::string inputPath;     // the job's full path
    std::string outputFolder;  // the output folder as chosen, exactly as shown
};

// One command line of a job, as the policy decided it.
struct PlannedLine {
    int templateNumber = 0;
    std::string commandLine;       // the prepared line (set also for most lines not run)
    std::optional<NotRun> notRun;  // set: the line is not started, and why

    bool Runs() const { return !notRun.has_value(); }
};

// Every line of a job, in order.
struct JobPlan {
    std::vector<PlannedLine> lines;
    JobProblem problem = JobProblem::None;
    std::string problemSubject;  // SettingsUnreadable: the settings file

    // True when the job would be reported as failed before any converter ran: a problem of the
    // job or a line that is not run.
    bool FailsAhead() const;
};

class RunPolicy {
public:
    // `appFolder`: the program's folder (no trailing separator except at a root).
    RunPolicy(std::string appFolder, PathStyle style)
        : appFolder_(std::move(appFolder)), style_(style) {}

    // One template for a job. nullopt when the template is passed over without a word (empty,
    // or a tool line). Device placeholders look at the drives through `devices`, which may
    // create a player's media folder.
    std::optional<PlannedLine> PlanLine(const CommandTemplate& commandTemplate,
                                        const JobInputs& job, DeviceAccess& devices) const;

    // Every template of the command for a job, from one read of its settings file (nullptr:
    // the file could not be read).
    JobPlan PlanJob(const std::vector<CommandTemplate>* templates, const std::string& settingsFile,
                    const JobInputs& job, DeviceAccess& devices) const;

    const std::string& AppFolder() const { return appFolder_; }
    PathStyle Style() const { return style_; }

private:
    std::string appFolder_;
    PathStyle style_;
};

}  // namespace palomix
