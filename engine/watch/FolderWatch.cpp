#include "engine/watch/FolderWatch.h"

#include <algorithm>
#include <utility>

#include "engine/watch/WatchedNames.h"
#include "platform/AtomicFile.h"
#include "platform/FolderScan.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// True when `path` lies below `folder` (not the folder itself).
bool Below(std::string_view path, std::string_view folder, PathStyle style) {
    if (path.size() <= folder.size() || !path.starts_with(folder)) {
        return false;
    }
    return EndsWithJoinSeparator(folder, style) || IsPathSeparator(path[folder.size()], style);
}

// The job's result as a record keeps it: why it ended, without the converter's output.
JobResult Why(const JobResult& result) {
    JobResult why;
    why.id = result.id;
    why.path = result.path;
    why.outcome = result.outcome;
    why.problem = result.problem;
    why.problemSubject = result.problemSubject;
    why.lengths = result.lengths;
    why.outputFault = result.outputFault;
    if (const CommandRecord* command = result.FirstProblem()) {
        CommandRecord first = *command;
        first.logTail.clear();
        why.commands.push_back(std::move(first));
    }
    return why;
}

}  // namespace

FolderWatch::FolderWatch(WatchId id, WatchSettings settings, const WatchTiming& timing,
                         bool tellsWrites, std::unique_ptr<WatchRecord> record, PathStyle style)
    : id_(id),
      settings_(std::move(settings)),
      timing_(timing),
      tellsWrites_(tellsWrites),
      style_(style),
      record_(std::move(record)) {
    if (Below(settings_.outputFolder, settings_.folder, style_)) {
        outputBelow_ = std::string(Relative(settings_.outputFolder));
    }
}

FolderWatch::~FolderWatch() = default;

// --- Names ---------------------------------------------------------------------------------

std::string_view FolderWatch::Relative(const std::string& folder) const {
    if (folder.size() <= settings_.folder.size()) {
        return {};
    }
    std::string_view rest = std::string_view(folder).substr(settings_.folder.size());
    if (!rest.empty() && IsPathSeparator(rest.front(), style_)) {
        rest.remove_prefix(1);
    }
    return rest;
}

std::optional<std::string> FolderWatch::NameIn(const std::string& folder,
                                               std::string_view entry) const {
    if (folder == settings_.folder) {
        return std::string(entry);
    }
    if (!Below(folder, settings_.folder, style_)) {
        return std::nullopt;
    }
    return JoinPath(Relative(folder), entry, style_);
}

std::string FolderWatch::FullPath(std::string_view name) const {
    return JoinPath(settings_.folder, name, style_);
}

// --- The view ------------------------------------------------------------------------------

WatchView FolderWatch::View() const {
    WatchView view;
    view.id = id_;
    view.settings = settings_;
    view.state = state_;
    view.error = error_;
    view.recordError = record_->Error();
    view.recordFile = record_->Path();
    view.rescansOnly = rescansOnly_;
    view.converted = record_->DoneCount();
    view.settling = static_cast<std::int32_t>(settling_.size());
    view.queued = static_cast<std::int32_t>(queued_.size());
    view.leftBusy = leftBusy_;
    for (const auto& [name, why] : record_->Failures()) {
        view.failures.push_back(WatchFailure{FullPath(name), why});
        view.failures.back().result.path = view.failures.back().path;
    }
    return view;
}

bool FolderWatch::TakeChanged() {
    return std::exchange(changed_, false);
}

// --- Starting and stopping -------------------------------------------------------------------

void FolderWatch::Start(Clock::time_point now, EventFolders& events, const Adopt& adopt) {
    if (removed_ || state_ == WatchState::Watching) {
        return;
    }
    adopt_ = look_ == 0 ? adopt : Adopt{};
    FullLook(now, events);
    adopt_ = {};
    changed_ = true;
}

void FolderWatch::Pause(EventFolders& events) {
    if (removed_) {
        return;
    }
    UnwatchAll(events);
    state_ = WatchState::Paused;
    error_ = {};
    changed_ = true;
}

void FolderWatch::Remove(EventFolders& events) {
    Pause(events);
    removed_ = true;
}

void FolderWatch::UnwatchAll(EventFolders& events) {
    for (const std::string& folder : eventFolders_) {
        events.Unwatch(folder);
    }
    eventFolders_.clear();
    changedFolders_.clear();
    settling_.clear();
}

bool FolderWatch::WatchFolder(const std::string& folder, EventFolders& events) {
    if (settings_.once || eventFolders_.contains(folder)) {
        return true;
    }
    if (!events.Watch(folder)) {
        return false;
    }
    eventFolders_.insert(folder);
    return true;
}

void FolderWatch::Missing(std::error_code error, Clock::time_point now, EventFolders& events) {
    UnwatchAll(events);
    changed_ = changed_ || state_ != WatchState::FolderMissing || error_ != error;
    state_ = WatchState::FolderMissing;
    error_ = error;
    nextLook_ = now + timing_.lookAgain;
}

// --- Full looks ------------------------------------------------------------------------------

void FolderWatch::FullLook(Clock::time_point now, EventFolders& events) {
    ++look_;
    nextRescan_ = now + timing_.rescan;
    changedFolders_.clear();
    listed_.clear();
    record_->Files().Merge();
    record_->Files().ClearMarks();
    std::error_code error;
    bool whole = true;
    if (!LookThrough({}, now, events, Walk::All, error, whole)) {
        Missing(error, now, events);
        return;
    }
    changed_ = changed_ || state_ != WatchState::Watching || error_;
    state_ = WatchState::Watching;
    error_ = {};
    // What the look did not find again is gone: files being settled at once, subfolders are
    // watched no more, and the record's files are forgotten after a while.
    std::erase_if(settling_, [this](const auto& file) { return file.second.seen != look_; });
    for (auto folder = eventFolders_.begin(); folder != eventFolders_.end();) {
        if (!listed_.contains(*folder) && whole) {
            events.Unwatch(*folder);
            folder = eventFolders_.erase(folder);
        } else {
            ++folder;
        }
    }
    listed_.clear();
    if (whole) {
        Sweep();
    }
}

bool FolderWatch::LookThrough(const std::string& relative, Clock::time_point now,
                              EventFolders& events, Walk walk, std::error_code& error,
                              bool& whole) {
    const bool fullLook = relative.empty() && walk == Walk::All;
    std::vector<std::string> folders{relative};
    while (!folders.empty()) {
        const std::string below = std::move(folders.back());
        folders.pop_back();
        const std::string folder = below.empty() ? settings_.folder : FullPath(below);
        // Told first, then read: nothing made in between is missed.
        const bool told = WatchFolder(folder, events);
        const std::error_code scanned = ScanFolder(folder, [&](const FolderEntry& entry) {
            const std::string name =
                below.empty() ? std::string(entry.name) : JoinPath(below, entry.name, style_);
            if (entry.kind == FolderEntry::Kind::File && !PassedOverFile(entry.name)) {
                Consider(name, entry.size, entry.modifiedNs, now, false, fullLook);
            } else if (entry.kind == FolderEntry::Kind::Folder && settings_.subfolders &&
                       !PassedOverFolder(entry.name) && name != outputBelow_ &&
                       (walk == Walk::All || !eventFolders_.contains(FullPath(name)))) {
                folders.push_back(name);
            }
        });
        if (scanned) {
            if (eventFolders_.erase(folder) > 0) {
                events.Unwatch(folder);
            }
            if (below == relative) {
                error = scanned;
                return false;
            }
            whole = false;  // a subfolder that cannot be read: the record is not swept
            continue;
        }
        rescansOnly_ = rescansOnly_ || !told;
        listed_.insert(folder);
    }
    return true;
}

void FolderWatch::Sweep() {
    const std::uint16_t today = Today();
    std::vector<std::string> forget;
    bool marked = false;
    record_->Files().ForEachUnmarked([&](std::string_view name, KnownFiles::Entry& entry) {
        if (entry.goneDay == 0) {
            entry.goneDay = today;
            marked = true;
        } else if (today - entry.goneDay > kForgetGoneAfterDays) {
            forget.emplace_back(name);
        }
    });
    if (marked) {
        record_->GoneDaysChanged();
    }
    for (const std::string& name : forget) {
        record_->Forget(name);
    }
}

// --- One file ------------------------------------------------------------------------------

void FolderWatch::Consider(std::string_view name, std::int64_t size, std::int64_t modifiedNs,
                           Clock::time_point now, bool writing, bool fullLook) {
    const std::string key(name);
    if (queuedNames_.contains(key)) {
        return;
    }
    KnownFiles& files = record_->Files();
    if (const std::optional<KnownFiles::Entry> known =
            fullLook ? files.FindAndMark(name) : files.Find(name)) {
        if (known->SameFile(size, modifiedNs)) {
            if (known->goneDay != 0) {
                KnownFiles::Entry back = *known;
                back.goneDay = 0;
                files.Set(name, back);
                record_->GoneDaysChanged();
            }
            return;
        }
    }
    if (adopt_) {
        if (const JobId job = adopt_(FullPath(name)); job != 0) {
            queued_[job] = QueuedFile{key, size, modifiedNs};
            queuedNames_.insert(key);
            return;
        }
    }
    const auto [file, added] = settling_.try_emplace(key);
    Settling& settling = file->second;
    settling.seen = look_;
    if (added || settling.size != size || settling.modifiedNs != modifiedNs || writing) {
        settling.since = now;
        changed_ = changed_ || added;
    }
    if (added) {
        settling.lastLook = now;
    }
    settling.size = size;
    settling.modifiedNs = modifiedNs;
    settling.writing = settling.writing || writing;
}

// --- Events --------------------------------------------------------------------------------

void FolderWatch::Event(const FolderEvent& event, Clock::time_point now, EventFolders& events) {
    if (removed_ || state_ != WatchState::Watching || settings_.once) {
        return;
    }
    if (event.kind == FolderEvent::Kind::Overflow) {
        FullLook(now, events);
        return;
    }
    if (event.kind == FolderEvent::Kind::Gone) {
        eventFolders_.erase(event.folder);
        if (event.folder == settings_.folder) {
            Missing(std::make_error_code(std::errc::no_such_file_or_directory), now, events);
        } else if (Below(event.folder, settings_.folder, style_)) {
            ForgetBelow(std::string(Relative(event.folder)), events);
        }
        return;
    }
    if (event.kind == FolderEvent::Kind::FolderChanged || event.name.empty()) {
        if (event.folder == settings_.folder || eventFolders_.contains(event.folder)) {
            changedFolders_.try_emplace(event.folder, now);
        }
        return;
    }
    const std::optional<std::string> name = NameIn(event.folder, event.name);
    if (!name) {
        return;
    }
    if (event.isFolder) {
        SubfolderEvent(event, *name, now, events);
    } else if (!PassedOverFile(event.name)) {
        FileEvent(event, *name, now);
    }
}

void FolderWatch::FileEvent(const FolderEvent& event, const std::string& name,
                            Clock::time_point now) {
    if (event.kind == FolderEvent::Kind::Removed) {
        settling_.erase(name);
        return;
    }
    if (event.kind == FolderEvent::Kind::Closed) {
        if (const auto file = settling_.find(name); file != settling_.end()) {
            file->second.writing = false;
            return;
        }
    }
    const std::optional<FileStamp> stamp = StampOf(FullPath(name));
    if (!stamp) {
        settling_.erase(name);
        return;
    }
    Consider(name, static_cast<std::int64_t>(stamp->size), stamp->modifiedNs, now,
             event.kind == FolderEvent::Kind::Written, false);
}

void FolderWatch::SubfolderEvent(const FolderEvent& event, const std::string& name,
                                 Clock::time_point now, EventFolders& events) {
    if (!settings_.subfolders || PassedOverFolder(event.name) || name == outputBelow_) {
        return;
    }
    if (event.kind == FolderEvent::Kind::Removed) {
        ForgetBelow(name, events);
        return;
    }
    // A folder made or moved in: everything in it is new.
    std::error_code ignored;
    bool whole = true;
    LookThrough(name, now, events, Walk::All, ignored, whole);
}

void FolderWatch::ForgetBelow(const std::string& relative, EventFolders& events) {
    const std::string folder = FullPath(relative);
    std::erase_if(settling_, [&](const auto& file) { return Below(file.first, relative, style_); });
    for (auto watched = eventFolders_.begin(); watched != eventFolders_.end();) {
        if (*watched == folder || Below(*watched, folder, style_)) {
            events.Unwatch(*watched);
            watched = eventFolders_.erase(watched);
        } else {
            ++watched;
        }
    }
}

// --- Time ------------------------------------------------------------------------------------

void FolderWatch::Check(Clock::time_point now, EventFolders& events,
                        std::vector<FoundFile>& found) {
    if (removed_) {
        return;
    }
    if (state_ == WatchState::FolderMissing && now >= nextLook_) {
        FullLook(now, events);  // back when it can be read again
        return;
    }
    if (state_ != WatchState::Watching) {
        return;
    }
    if (!settings_.once && now >= nextRescan_) {
        FullLook(now, events);
        if (state_ != WatchState::Watching) {
            return;
        }
    }
    for (auto folder = changedFolders_.begin(); folder != changedFolders_.end();) {
        if (now < folder->second + timing_.poll) {
            ++folder;
            continue;
        }
        const std::string path = folder->first;
        folder = changedFolders_.erase(folder);
        std::error_code error;
        bool whole = true;
        if (!LookThrough(std::string(Relative(path)), now, events, Walk::New, error, whole) &&
            path == settings_.folder) {
            Missing(error, now, events);
            return;
        }
    }
    for (auto file = settling_.begin(); file != settling_.end();) {
        if (CheckSettling(file->first, file->second, now)) {
            const std::string& name = file->first;
            found.push_back(FoundFile{FullPath(name), name, FolderOf(name, style_),
                                      file->second.size, file->second.modifiedNs});
            file = settling_.erase(file);
        } else if (file->second.seen == 0) {
            file = settling_.erase(file);  // gone, or left for the next look
        } else {
            ++file;
        }
    }
    if (settings_.once && settling_.empty()) {
        state_ = WatchState::Finished;
        changed_ = true;
    }
}

// True when the file is complete. Sets `seen` to 0 when the file is to be dropped.
bool FolderWatch::CheckSettling(const std::string& name, Settling& file, Clock::time_point now) {
    const Clock::time_point due = file.since + timing_.settle;
    const bool pollDue = !tellsWrites_ && !settings_.once && now >= file.lastLook + timing_.poll;
    if (now < due && !pollDue) {
        return false;
    }
    file.lastLook = now;
    const std::optional<FileStamp> stamp = StampOf(FullPath(name));
    if (!stamp) {
        file.seen = 0;
        return false;
    }
    if (static_cast<std::int64_t>(stamp->size) != file.size ||
        stamp->modifiedNs != file.modifiedNs) {
        if (settings_.once) {
            ++leftBusy_;  // still being written: the next look takes it
            file.seen = 0;
            return false;
        }
        file.size = static_cast<std::int64_t>(stamp->size);
        file.modifiedNs = stamp->modifiedNs;
        file.since = now;
        return false;
    }
    if (now < due) {
        return false;
    }
    return !file.writing || now >= file.since + timing_.openWriterPatience;
}

std::optional<FolderWatch::Clock::time_point> FolderWatch::NextTime() const {
    if (removed_) {
        return std::nullopt;
    }
    if (state_ == WatchState::FolderMissing) {
        return nextLook_;
    }
    if (state_ != WatchState::Watching) {
        return std::nullopt;
    }
    std::optional<Clock::time_point> next;
    const auto earliest = [&next](Clock::time_point time) {
        next = next ? std::min(*next, time) : time;
    };
    if (!settings_.once) {
        earliest(nextRescan_);
    }
    for (const auto& [folder, since] : changedFolders_) {
        earliest(since + timing_.poll);
    }
    for (const auto& [name, file] : settling_) {
        const Clock::time_point due = file.since + timing_.settle;
        if (!tellsWrites_ && !settings_.once) {
            earliest(std::min(due, file.lastLook + timing_.poll));
        } else if (file.writing) {
            // A Closed event brings the check forward.
            earliest(std::max(due, file.since + timing_.openWriterPatience));
        } else {
            earliest(due);
        }
    }
    if (settings_.once && settling_.empty()) {
        earliest(Clock::time_point{});  // finished: due at once
    }
    return next;
}

// --- Results -------------------------------------------------------------------------------

void FolderWatch::Queued(const FoundFile& file, JobId id) {
    queued_[id] = QueuedFile{file.name, file.size, file.modifiedNs};
    queuedNames_.insert(file.name);
    changed_ = true;
}

void FolderWatch::Ended(JobId id, const JobResult& result) {
    const auto found = queued_.find(id);
    if (found == queued_.end()) {
        return;
    }
    const QueuedFile file = std::move(found->second);
    queued_.erase(found);
    queuedNames_.erase(file.name);
    changed_ = true;
    KnownFiles::Entry entry{file.size, file.modifiedNs, KnownFiles::Result::Done, 0};
    switch (result.outcome) {
        case JobOutcome::Done:
            record_->Note(file.name, entry, nullptr);
            return;
        case JobOutcome::Skipped:
            entry.result = KnownFiles::Result::Skipped;
            record_->Note(file.name, entry, nullptr);
            return;
        case JobOutcome::Failed:
        case JobOutcome::Stopped: {
            // A file that went while it was converted (a card pulled out) failed for that
            // alone: it is not remembered, and is taken again when it comes back.
            if (!StampOf(FullPath(file.name))) {
                return;
            }
            entry.result = result.outcome == JobOutcome::Failed ? KnownFiles::Result::Failed
                                                                : KnownFiles::Result::Stopped;
            const JobResult why = Why(result);
            record_->Note(file.name, entry, &why);
            return;
        }
        case JobOutcome::NotStarted:
            // It stays in the list and is tried at the next run.
            queued_[id] = file;
            queuedNames_.insert(file.name);
            return;
    }
}

void FolderWatch::TakenOut(JobId id) {
    const auto found = queued_.find(id);
    if (found == queued_.end()) {
        return;
    }
    const QueuedFile& file = found->second;
    record_->Note(file.name,
                  KnownFiles::Entry{file.size, file.modifiedNs, KnownFiles::Result::Removed, 0},
                  nullptr);
    queuedNames_.erase(file.name);
    queued_.erase(found);
    changed_ = true;
}

void FolderWatch::OutputMade(const std::string& path) {
    if (!Below(path, settings_.folder, style_)) {
        return;
    }
    const std::string name(Relative(path));
    const std::optional<FileStamp> stamp = StampOf(path);
    if (!stamp) {
        return;
    }
    settling_.erase(name);
    record_->Note(name,
                  KnownFiles::Entry{static_cast<std::int64_t>(stamp->size), stamp->modifiedNs,
                                    KnownFiles::Result::Output, 0},
                  nullptr);
}

bool FolderWatch::Retry(std::span<const std::string> paths, std::vector<FoundFile>& found) {
    std::vector<std::string> names;
    for (const auto& [name, why] : record_->Failures()) {
        const std::string path = FullPath(name);
        if (paths.empty() || std::find(paths.begin(), paths.end(), path) != paths.end()) {
            names.push_back(name);
        }
    }
    for (const std::string& name : names) {
        record_->Forget(name);
        const std::optional<FileStamp> stamp = StampOf(FullPath(name));
        if (stamp && !queuedNames_.contains(name)) {
            found.push_back(FoundFile{FullPath(name), name, FolderOf(name, style_),
                                      static_cast<std::int64_t>(stamp->size), stamp->modifiedNs});
        }
    }
    changed_ = changed_ || !names.empty();
    return !names.empty();
}

}  // namespace palomix
