// What the window tells about the jobs of the current batch that did not convert: the one-line
// status left of the Stop button and the list of failed jobs behind it, in the window's
// language. A batch starts when a drop finds no run active and lasts until the next such drop.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "engine/EngineObserver.h"
#include "engine/JobResult.h"

namespace palomix {

class RunReport {
public:
    // A new batch: forgets the jobs of the last one.
    void Reset();

    // What the run reports.
    void CommandStarted();
    void JobEnded(const JobResult& result);

    // The jobs of the batch that failed, were stopped or could not be started, in the order
    // they ended.
    const std::vector<JobResult>& FailedJobs() const { return failed_; }
    int FailureCount() const { return static_cast<int>(failed_.size()); }
    // The jobs left out on purpose (an output that exists, a file of another type), apart
    // from the failures.
    const std::vector<JobResult>& SkippedJobs() const { return skipped_; }
    // Why the last run stopped at a job that could not start, until the next batch or the next
    // command that starts.
    const std::optional<LaunchFailure>& LaunchFailed() const { return launchFailure_; }

private:
    std::vector<JobResult> failed_;
    std::vector<JobResult> skipped_;
    std::optional<LaunchFailure> launchFailure_;
};

// The words of the window for a launch failure, a command's end, a job's problem.
std::string LaunchFailureWords(const LaunchFailure& failure, const RunTexts& texts);
std::string CommandEndWords(const CommandRecord& command, const RunTexts& texts);
std::string JobProblemWords(JobProblem problem, const std::string& subject, const RunTexts& texts);

// The grid's status text of a job.
std::string StatusWords(const JobStatus& status, const RunTexts& texts);

// The one-line status: during a run the jobs in the list and, after a failure, their number;
// when idle the reason of a launch failure or the number of failures; empty otherwise.
std::string RunStatusText(const RunReport& report, bool runActive, int jobCount,
                          const RunTexts& texts);

// The list of failed jobs, one block per job: file, and for each command that did not succeed
// its line, how it ended (exit code or signal, stopped, not run and why, could not start and
// why) and the last lines of the converter's output; a job's own problem last.
std::string FailureListText(const RunReport& report, const RunTexts& texts);

}  // namespace palomix
