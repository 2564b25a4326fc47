// What palomix-batch makes of a run as it goes: it prints a line on standard error for each
// job that is over, handles the first Ctrl-C (every running command is stopped and nothing
// more starts), and at the end prints the summary and works out the exit status. Lives on the
// run's thread.
#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>

#include "cli/JobReport.h"
#include "engine/Engine.h"

namespace palomix {

// Exit status of a run in which every command of every job ended with code 0.
inline constexpr int kBatchExitConverted = 0;
// A command failed (non-zero exit code or a signal), a line could not be run, a job was
// stopped, or the run was interrupted.
inline constexpr int kBatchExitCommandFailed = 1;
// The run could not convert at all (no command selected).
inline constexpr int kBatchExitNothingSelected = 2;
// A command line could not be started (its program is missing, say); the run ended there.
inline constexpr int kBatchExitNotStarted = 3;

class RunReporter final : public EngineObserver {
public:
    using Clock = std::chrono::steady_clock;

    // The jobs in the engine's list now are the run's; a done job's time is the wall-clock time
    // since it started. Lines come in the order jobs finish.
    RunReporter(const Engine& engine, std::ostream& err);

    void JobStarted(const JobStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;

    // The first Ctrl-C: every running command is stopped and no further command starts; the
    // jobs not reached stay out. The run ends when the stopped commands' ends arrive.
    void Interrupt(Engine& engine);
    bool Interrupted() const { return interrupted_; }

    // The run has ended (RunEnded came).
    bool Ended() const { return ended_; }

    // Prints the summary and gives the exit status: 3 when a command could not be started, 1
    // when a command failed, a line was not run, a job was stopped or the run was interrupted,
    // else 0.
    int Finish();

private:
    void Print(const std::string& text);

    const Engine& engine_;
    std::ostream& err_;
    const int total_;
    std::map<JobId, Clock::time_point> jobStarts_;  // of the jobs converting
    int finished_ = 0;
    RunTally tally_;
    bool ended_ = false;
    bool launchFailed_ = false;
    bool nothingSelected_ = false;
    bool interrupted_ = false;
};

}  // namespace palomix
