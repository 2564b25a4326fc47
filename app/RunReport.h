// What the window tells about the jobs of the current batch that did not convert: the one-line
// status left of the Stop button and the list of failed jobs behind it. A batch starts when a
// drop finds no run active and lasts until the next such drop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "engine/BatchRun.h"
#include "engine/JobResult.h"

namespace palomix {

// One job of the batch that failed, was stopped or could not be started.
struct FailedJob {
    std::string path;
    JobOutcome outcome = JobOutcome::Failed;
    std::vector<FailedCommand> failures;  // Failed: the commands that did not succeed
    std::string stoppedCommand;           // Stopped: the command that was running
    std::string launchCommand;            // NotStarted: the line that could not be started
    std::string launchFailure;            // NotStarted: why
};

class RunReport {
public:
    // A new batch: forgets the jobs of the last one.
    void Reset();

    // What the run reports.
    void CommandStarted(const std::string& commandLine);
    void JobFinished(const JobResult& result);
    void RunEnded(const RunEnd& end);

    const std::vector<FailedJob>& FailedJobs() const { return failed_; }
    int FailureCount() const { return static_cast<int>(failed_.size()); }
    // Why the last run stopped at its head job, until the next batch or the next start.
    const std::optional<std::string>& LaunchFailure() const { return launchFailure_; }

private:
    std::string lastCommand_;
    std::vector<FailedJob> failed_;
    std::optional<std::string> launchFailure_;
};

// The one-line status: during a run the jobs in the list and, after a failure, their number;
// when idle the reason of a launch failure or the number of failures; empty otherwise.
std::string RunStatusText(const RunReport& report, bool runActive, int jobCount,
                          const RunTexts& texts);

// The list of failed jobs, one block per job: file, command line, exit code or signal (or
// stopped, or why it could not start) and the last lines of the converter's output.
std::string FailureListText(const RunReport& report, const RunTexts& texts);

}  // namespace palomix
