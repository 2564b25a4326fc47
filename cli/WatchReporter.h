// What palomix-batch says while it watches folders (--watch), on standard error: each watch as
// it begins ("watching 'DIR'"), the files it remembers as failed, each job as it ends (the
// lines of an ordinary run, "[i/n]" counting the jobs ended and those in the list), a folder
// that cannot be read and its coming back, a record that cannot be kept, and at the end a
// summary. It starts the run whenever a watch has queued files, as a drop starts one in the
// window. Lives on the run's thread.
#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>

#include "engine/Engine.h"

namespace palomix {

class WatchReporter final : public EngineObserver {
public:
    using Clock = std::chrono::steady_clock;

    WatchReporter(Engine& engine, std::ostream& err);

    // Each watch's state as it begins, and the files each remembers as failed.
    void Begin();

    void JobStarted(const JobStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;
    void WatchChanged(WatchId id) override;
    void WatchQueued(WatchId id, std::int32_t count) override;

    // The summary; the exit status: watching until asked to end (not `once`), 0; else 3 when a
    // command line could not be started, 1 when a job failed or was stopped, a job was left in
    // the list or a folder could not be read, else 0.
    int Finish(bool once);

private:
    void Print(const std::string& text);
    void SayState(const WatchView& view, bool begun);

    Engine& engine_;
    std::ostream& err_;
    struct Known {
        WatchState state = WatchState::Watching;
        bool rescansOnly = false;
        bool recordError = false;
    };
    std::map<WatchId, Known> watches_;
    std::map<JobId, Clock::time_point> starts_;
    RunTally tally_;
    int ended_ = 0;
    bool begun_ = false;  // changes are told from Begin on
    bool launchFailed_ = false;
};

}  // namespace palomix
