// The core's watched folders, behind the door (engine/Engine.h): every watch (FolderWatch), the
// system's events that tell them about their folders, the wake-ups their times need, and their
// link to the job list. A file a watch finds complete joins the list with the watch's command
// and output folder, and the front ends are told (WatchQueued) so that they start it as a drop;
// how the job ends goes into the watch's record.
//
// The events come through a FolderEvents made once, at the first watch: the system's in
// palomix-batch, the window's own (QFileSystemWatcher) in the window, a test's. Every call comes
// on the host's thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/EngineObserver.h"
#include "engine/JobQueue.h"
#include "engine/watch/FolderWatch.h"
#include "platform/FolderEvents.h"

namespace palomix {

// Makes the events for the watches; they deliver through the function given.
using MakeFolderEvents = std::function<std::unique_ptr<FolderEvents>(FolderEvents::Deliver)>;

class WatchBoard final : private EventFolders {
public:
    // Nothing is owned; everything must outlive the board. `recordFolder`: where the records
    // are kept (empty: none is kept).
    WatchBoard(JobQueue& jobs, EngineObserver& observer, MakeFolderEvents makeEvents,
               std::string recordFolder, PathStyle style);
    ~WatchBoard() override;
    WatchBoard(const WatchBoard&) = delete;
    WatchBoard& operator=(const WatchBoard&) = delete;

    void SetTiming(const WatchTiming& timing) { timing_ = timing; }

    // A new watch, watching at once unless `paused`. The jobs of the list that are its files
    // (a kept queue's, with its command and output folder) are taken as its own.
    WatchId Add(WatchSettings settings, bool paused);
    bool Pause(WatchId id);
    bool Resume(WatchId id);
    bool Remove(WatchId id);
    bool Retry(WatchId id, std::span<const std::string> paths);
    std::vector<WatchView> Views() const;
    std::optional<WatchView> View(WatchId id) const;

    // How a job ended (any job: the outputs it made inside a watched folder are noted).
    void JobEnded(const JobResult& result);
    // The user took these jobs out of the list.
    void TakenOut(std::span<const JobId> ids);

private:
    // EventFolders: each folder asked for once, however many watches share it.
    bool Watch(const std::string& folder) override;
    void Unwatch(const std::string& folder) override;

    FolderWatch* Find(WatchId id) const;
    void Delivered(std::vector<FolderEvent> events);
    // Everything due by now: found files queued, facts told, the next wake-up asked for.
    void Settle();
    void Queue(FolderWatch& watch, std::vector<FoundFile>& found);
    void TellChanged();
    // The jobs of the list, by path, that a new watch takes as its own.
    std::unordered_map<std::string, JobId> ListedJobsOf(const WatchSettings& settings);
    FolderEvents& Events();

    JobQueue& jobs_;
    EngineObserver& observer_;
    MakeFolderEvents makeEvents_;
    const std::string recordFolder_;
    const PathStyle style_;
    WatchTiming timing_;
    std::vector<std::unique_ptr<FolderWatch>> watches_;
    std::unordered_map<std::string, int> folderUsers_;  // folders asked for, and by how many
    WatchId lastId_ = 0;
    bool settling_ = false;                 // inside Settle: a call from within is left to it
    std::unique_ptr<FolderEvents> events_;  // last: its deliveries reach everything above
};

// The run's facts, told to the board first (how a job ended goes into its watch's record
// before any front end asks) and then to `next`.
class WatchedRunFacts final : public EngineObserver {
public:
    WatchedRunFacts(EngineObserver& next, std::function<WatchBoard*()> board)
        : next_(next), board_(std::move(board)) {}

    void StopEnabledChanged(bool enabled) override { next_.StopEnabledChanged(enabled); }
    void JobStarted(const JobStart& start) override { next_.JobStarted(start); }
    void CommandStarted(const CommandStart& start) override { next_.CommandStarted(start); }
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override { next_.RunEnded(end); }
    void StopFailed() override { next_.StopFailed(); }

private:
    EngineObserver& next_;
    std::function<WatchBoard*()> board_;
};

}  // namespace palomix
