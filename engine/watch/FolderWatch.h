// One watched folder: which of its files are complete and not converted yet, found by the
// system's events and by full looks through the folder, and what became of each.
//
// A file is taken once it is complete: its size and modification time have stayed the same for
// the settle time, and, where the system tells writes and closes, no writer holds it open (a
// file written to and not closed since is waited for, up to the open-writer patience). Names a
// watch passes over (engine/watch/WatchedNames.h) are never taken, nor this program's outputs
// (the output folder's subtree when it lies inside the watched folder is not looked into, and
// the outputs a run makes inside it are noted as such), nor a file whose record says it was
// converted, failed, stopped, skipped or taken out of the list, as long as it has the size and
// time it had then. A failed or stopped file is listed until the user tries it again.
//
// A full look is made at the start, at every rescan and after the system lost events. A folder
// that cannot be read pauses the watch (FolderMissing, with why); it is looked for again until it
// comes back, and nothing of the record is lost meanwhile. A file the record knows that a full
// look no longer finds is forgotten only after it has been missing for kForgetGoneAfterDays, so
// an unplugged card's files are not converted again when it comes back.
//
// Lives on the host's thread; every call takes the time it is made at, so tests can tell it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/watch/WatchRecord.h"
#include "platform/FolderEvents.h"

namespace palomix {

// A file found complete, for the job list.
struct FoundFile {
    std::string path;       // the full path
    std::string name;       // the path below the watched folder
    std::string subfolder;  // the folder it lies in below the watched folder; "" for none
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
};

// The folders told by the system's events, shared by the watches (a folder may be watched by
// several).
class EventFolders {
public:
    virtual ~EventFolders() = default;
    // False when the system does not tell this folder's changes: the rescans find them.
    virtual bool Watch(const std::string& folder) = 0;
    virtual void Unwatch(const std::string& folder) = 0;
};

class FolderWatch {
public:
    using Clock = std::chrono::steady_clock;
    // A job of the list that a watch may take as its own at its first look (a kept queue's).
    using Adopt = std::function<JobId(const std::string& path)>;

    static constexpr int kForgetGoneAfterDays = 30;

    // `tellsWrites`: the system's events tell every write and close (FolderEvents).
    FolderWatch(WatchId id, WatchSettings settings, const WatchTiming& timing, bool tellsWrites,
                std::unique_ptr<WatchRecord> record, PathStyle style);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    WatchId Id() const { return id_; }
    const WatchSettings& Settings() const { return settings_; }
    WatchView View() const;
    WatchState State() const { return state_; }
    // Removed by the user: it watches nothing, and goes once its jobs in the list have ended.
    bool Removed() const { return removed_; }
    bool HasQueued() const { return !queued_.empty(); }

    // Begins (or resumes) with a full look; the first one takes as its own the jobs `adopt`
    // names.
    void Start(Clock::time_point now, EventFolders& events, const Adopt& adopt = {});
    void Pause(EventFolders& events);
    void Remove(EventFolders& events);

    // An event of one of its folders, or of them all (Overflow).
    void Event(const FolderEvent& event, Clock::time_point now, EventFolders& events);
    // What falls due by `now`: files complete (into `found`), a rescan, a look for a missing
    // folder, folders told as changed.
    void Check(Clock::time_point now, EventFolders& events, std::vector<FoundFile>& found);
    // When Check next has something to do; nullopt for never (until an event).
    std::optional<Clock::time_point> NextTime() const;

    // A found file joined the job list as the job `id`.
    void Queued(const FoundFile& file, JobId id);
    bool Owns(JobId id) const { return queued_.contains(id); }
    // How its job ended (not for a job that could not start: it stays in the list).
    void Ended(JobId id, const JobResult& result);
    // The user took its job out of the list.
    void TakenOut(JobId id);
    // A run made this file: if it lies in the watched folder, it is never taken.
    void OutputMade(const std::string& path);
    // The failed and stopped files named (all of them when none is named) are tried again: each
    // that is still there is found at once.
    bool Retry(std::span<const std::string> paths, std::vector<FoundFile>& found);

    // True (once) when its view has changed since the last call.
    bool TakeChanged();

private:
    struct Settling {
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        Clock::time_point since;     // when it was last seen to change
        Clock::time_point lastLook;  // when it was last looked at
        bool writing = false;        // written to and not closed since (as the events tell)
        std::uint32_t seen = 0;      // the full look that last found it
    };
    struct QueuedFile {
        std::string name;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
    };

    // The path below the watched folder of an entry of one of its folders, and back.
    std::optional<std::string> NameIn(const std::string& folder, std::string_view entry) const;
    std::string FullPath(std::string_view name) const;
    std::string_view Relative(const std::string& folder) const;

    // Which subfolders a look walks into.
    enum class Walk { All, New };
    void FullLook(Clock::time_point now, EventFolders& events);
    // Looks through one folder (by its path below the watched folder) and, with subfolders, the
    // folders below it as `walk` says; false when that folder cannot be read (`error` says
    // why). `whole` is cleared when a folder below it cannot be read.
    bool LookThrough(const std::string& relative, Clock::time_point now, EventFolders& events,
                     Walk walk, std::error_code& error, bool& whole);
    void Sweep();
    void Missing(std::error_code error, Clock::time_point now, EventFolders& events);
    void Consider(std::string_view name, std::int64_t size, std::int64_t modifiedNs,
                  Clock::time_point now, bool writing, bool fullLook);
    void FileEvent(const FolderEvent& event, const std::string& name, Clock::time_point now);
    void SubfolderEvent(const FolderEvent& event, const std::string& name, Clock::time_point now,
                        EventFolders& events);
    void ForgetBelow(const std::string& relative, EventFolders& events);
    bool CheckSettling(const std::string& name, Settling& file, Clock::time_point now);
    void UnwatchAll(EventFolders& events);
    // Asks for the folder's events; false when the system does not tell them.
    bool WatchFolder(const std::string& folder, EventFolders& events);

    const WatchId id_;
    const WatchSettings settings_;
    const WatchTiming timing_;
    const bool tellsWrites_;
    const PathStyle style_;
    const std::unique_ptr<WatchRecord> record_;
    // The output folder's path below the watched folder, when it lies inside it; else none.
    std::optional<std::string> outputBelow_;

    WatchState state_ = WatchState::Paused;
    std::error_code error_;
    bool removed_ = false;
    bool changed_ = true;
    bool rescansOnly_ = false;
    Adopt adopt_;  // during the first look only
    std::int32_t leftBusy_ = 0;
    std::uint32_t look_ = 0;  // full looks made
    Clock::time_point nextRescan_;
    Clock::time_point nextLook_;                    // FolderMissing: the next look for the folder
    std::unordered_set<std::string> eventFolders_;  // full paths told by events
    std::unordered_set<std::string> listed_;        // full paths the current full look read
    std::unordered_map<std::string, Clock::time_point> changedFolders_;  // to look through
    std::unordered_map<std::string, Settling> settling_;                 // by name
    std::unordered_map<JobId, QueuedFile> queued_;
    std::unordered_set<std::string> queuedNames_;
};

}  // namespace palomix
