// What palomix-batch makes of a run as it goes: it prints a line on standard error for each
// job that is over, handles the first Ctrl-C (the Stop button, and no further command), and
// at the end prints the summary and works out the exit status. Lives on the run's thread.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "cli/GatedLauncher.h"
#include "cli/JobReport.h"
#include "engine/BatchRun.h"
#include "engine/JobQueue.h"

namespace palomix {

// Exit status of a run in which every command of every job ended with code 0.
inline constexpr int kBatchExitConverted = 0;
// A command failed (non-zero exit code or a signal), a job was stopped, or the run was
// interrupted.
inline constexpr int kBatchExitCommandFailed = 1;
// The run could not convert at all (no command selected).
inline constexpr int kBatchExitNothingSelected = 2;
// A command line could not be started (its program is missing, say); the run ended there.
inline constexpr int kBatchExitNotStarted = 3;

class RunReporter final : public BatchRunObserver {
public:
    using Clock = std::chrono::steady_clock;

    // The queue and launcher are those of the run and must outlive the reporter. The jobs in
    // the queue now are the run's; a done job's time is the wall-clock time since the end of
    // the job before it (or since this reporter was made).
    RunReporter(JobQueue& jobs, GatedLauncher& launcher, std::ostream& err);

    void ShowMessage(const std::string& text) override;
    void JobFinished(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;

    // The first Ctrl-C: no command starts any more, the running one is stopped, and the jobs
    // behind it are left out; the run ends when the stopped command's end arrives. When the
    // command has already ended, the job goes on to its next command, which is refused: the
    // job counts as stopped.
    void Interrupt(BatchRun& run);

    // The run has ended (RunEnded came).
    bool Ended() const { return ended_; }

    // Prints the summary and gives the exit status: 3 when a command could not be started, 1
    // when a command failed, a job was stopped or the run was interrupted, else 0.
    int Finish();

private:
    void Print(const std::string& text);

    JobQueue& jobs_;
    GatedLauncher& launcher_;
    std::ostream& err_;
    const int total_;
    Clock::time_point jobStart_;
    int finished_ = 0;
    RunTally tally_;
    std::optional<JobResult> notStarted_;
    bool ended_ = false;
    bool launchFailed_ = false;
    bool nothingSelected_ = false;
    bool interrupted_ = false;
    bool headCounted_ = false;
    bool quiet_ = false;
};

}  // namespace palomix
