// What palomix-batch makes of a run as it goes: it prints a line on standard error for each
// job that is over, handles the first Ctrl-C (every running command is stopped and nothing
// more starts), and at the end prints the summary and works out the exit status. Lives on the
// run's thread.
#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>

#include "cli/BatchExit.h"
#include "cli/JobReport.h"
#include "cli/PrintableText.h"
#include "engine/Engine.h"

namespace palomix {

class RunReporter final : public EngineObserver {
public:
    using Clock = std::chrono::steady_clock;

    // How the reporter shows progress as the run goes.
    struct ProgressDisplay {
        std::ostream* lines = nullptr;  // "progress I N PERCENT SECONDS" lines go here
        bool live = false;              // one line on `err` redrawn in place (a terminal)
    };

    // The jobs in the engine's list now are the run's; a done job's time is the wall-clock time
    // since it started. Lines come in the order jobs finish.
    RunReporter(const Engine& engine, std::ostream& err);
    RunReporter(const Engine& engine, std::ostream& err, ProgressDisplay display);

    // After the engine's tick: the progress lines, or the live line, anew.
    void ShowProgress();

    void JobStarted(const JobStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;
    void ConverterChecked() override { converterChecked_ = true; }

    // What cores/ffmpeg offers has been read since the reporter was made.
    bool ConverterHasBeenChecked() const { return converterChecked_; }

    // The first Ctrl-C: every running command is stopped and no further command starts; the
    // jobs not reached stay out. The run ends when the stopped commands' ends arrive.
    void Interrupt(Engine& engine);
    bool Interrupted() const { return interrupted_; }

    // The run has ended (RunEnded came).
    bool Ended() const { return ended_; }

    // Prints the summary (after a note when done jobs' outputs could not be checked) and gives
    // the exit status: 3 when a command could not be started, 1
    // when a command failed, a line was not run, a job was stopped or the run was interrupted,
    // else 0.
    int Finish();

private:
    // Writes lines made by PrintableLine, clearing the live line first.
    void Print(const std::string& text);
    void ClearLive();

    const Engine& engine_;
    std::ostream& err_;
    const int total_;
    struct Started {
        Clock::time_point at;
        int number = 0;  // in the order jobs started, from 1
        std::string name;
    };
    std::map<JobId, Started> jobStarts_;  // of the jobs converting
    int started_ = 0;
    ProgressDisplay display_;
    std::size_t liveWidth_ = 0;  // characters of the live line now shown
    int finished_ = 0;
    bool ended_ = false;
    bool launchFailed_ = false;
    bool nothingSelected_ = false;
    bool interrupted_ = false;
    bool converterChecked_ = false;
    bool outputsNotChecked_ = false;
};

}  // namespace palomix
