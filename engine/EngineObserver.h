// What the core tells a front end, as whole facts: the changes of the job list, and what the
// run does. Every call comes on the host's thread, after the core's state has been updated, and
// every method has an empty default.
//
// A handler may call back into the core (start a run, stop a job, add paths, tick); it must not
// destroy it. JobEnded, RunEnded and StopFailed may run a nested event loop (a modal message
// box); StopEnabledChanged and the list's facts may not.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/EngineTypes.h"

namespace palomix {

class EngineObserver {
public:
    virtual ~EngineObserver() = default;

    // --- The job list (indices count from 0, the head job) -----------------------------------
    // `count` jobs were added at `first` (at the end of the list, or where moved jobs went).
    virtual void JobsAdded(std::int32_t /*first*/, std::int32_t /*count*/) {}
    // `count` jobs were taken out at `first`; the jobs below moved up.
    virtual void JobsRemoved(std::int32_t /*first*/, std::int32_t /*count*/) {}
    // Jobs changed places (moved to the top of the waiting ones): the jobs from `first` to
    // `first + count - 1` are others now, in a new order; the number of jobs is the same.
    virtual void JobsMoved(std::int32_t /*first*/, std::int32_t /*count*/) {}
    // The status of the job at `index` changed (waiting, converting with its seconds, not
    // started).
    virtual void JobStatusChanged(std::int32_t /*index*/) {}

    // --- The run ------------------------------------------------------------------------------
    // The Stop button became enabled or disabled.
    virtual void StopEnabledChanged(bool /*enabled*/) {}
    // A job began converting.
    virtual void JobStarted(const JobStart& /*start*/) {}
    // A command line of a job was started.
    virtual void CommandStarted(const CommandStart& /*start*/) {}
    // A job is over: done, failed or stopped (it has left the list), or not started (it stays).
    virtual void JobEnded(const JobResult& /*result*/) {}
    // The run has ended: no run is active and the Stop button is disabled.
    virtual void RunEnded(const RunEnd& /*end*/) {}
    // A stop found nothing to stop (the command had already ended): the run goes on unchanged.
    virtual void StopFailed() {}
    // What cores/ffmpeg offers has been read (or found unreadable): Engine::CommandNeeds
    // answers now.
    virtual void ConverterChecked() {}

    // --- Watched folders ----------------------------------------------------------------------
    // A watch's view changed: its state, its counts or its failed files.
    virtual void WatchChanged(WatchId /*id*/) {}
    // Files a watch found complete joined the job list (`count` of them, at its end): a front
    // end starts them as it starts a drop.
    virtual void WatchQueued(WatchId /*id*/, std::int32_t /*count*/) {}
};

// Tells every fact to each observer of a list, in the order they were added. An observer
// added or removed while a fact is told is told from the next fact on.
class EngineObservers final : public EngineObserver {
public:
    void Add(EngineObserver* observer);
    void Remove(EngineObserver* observer);
    void Clear() { observers_.clear(); }

    void JobsAdded(std::int32_t first, std::int32_t count) override;
    void JobsRemoved(std::int32_t first, std::int32_t count) override;
    void JobsMoved(std::int32_t first, std::int32_t count) override;
    void JobStatusChanged(std::int32_t index) override;
    void StopEnabledChanged(bool enabled) override;
    void JobStarted(const JobStart& start) override;
    void CommandStarted(const CommandStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;
    void StopFailed() override;
    void ConverterChecked() override;
    void WatchChanged(WatchId id) override;
    void WatchQueued(WatchId id, std::int32_t count) override;

private:
    template <typename Tell>
    void Each(Tell&& tell);

    std::vector<EngineObserver*> observers_;
};

}  // namespace palomix
