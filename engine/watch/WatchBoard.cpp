#include "engine/watch/WatchBoard.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "platform/PathRules.h"

namespace palomix {

WatchBoard::WatchBoard(JobQueue& jobs, EngineObserver& observer, MakeFolderEvents makeEvents,
                       std::string recordFolder, PathStyle style)
    : jobs_(jobs),
      observer_(observer),
      makeEvents_(std::move(makeEvents)),
      recordFolder_(std::move(recordFolder)),
      style_(style) {}

WatchBoard::~WatchBoard() {
    // The events go first: nothing is delivered to watches that are going.
    events_.reset();
}

FolderEvents& WatchBoard::Events() {
    if (!events_) {
        events_ =
            makeEvents_([this](std::vector<FolderEvent> events) { Delivered(std::move(events)); });
    }
    return *events_;
}

FolderWatch* WatchBoard::Find(WatchId id) const {
    const auto found = std::find_if(watches_.begin(), watches_.end(), [id](const auto& watch) {
        return watch->Id() == id && !watch->Removed();
    });
    return found == watches_.end() ? nullptr : found->get();
}

// --- The door's verbs --------------------------------------------------------------------------

WatchId WatchBoard::Add(WatchSettings settings, bool paused) {
    const WatchId id = ++lastId_;
    std::string recordPath =
        recordFolder_.empty() ? std::string() : WatchRecordPath(recordFolder_, settings);
    auto record = std::make_unique<WatchRecord>(std::move(recordPath), settings.folder);
    watches_.push_back(std::make_unique<FolderWatch>(
        id, std::move(settings), timing_, Events().TellsWrites(), std::move(record), style_));
    FolderWatch& watch = *watches_.back();
    if (!paused) {
        std::unordered_map<std::string, JobId> listed = ListedJobsOf(watch.Settings());
        watch.Start(FolderWatch::Clock::now(), *this, [&listed](const std::string& path) {
            const auto found = listed.find(path);
            return found == listed.end() ? JobId{0} : found->second;
        });
    }
    Settle();
    return id;
}

std::unordered_map<std::string, JobId> WatchBoard::ListedJobsOf(const WatchSettings& settings) {
    // A job of the list is a watch's when it has the watch's command and output folder and no
    // other watch has it (a kept queue's, put back before the watch began).
    std::unordered_map<std::string, JobId> listed;
    for (std::int32_t index = 0; index < jobs_.JobCount(); ++index) {
        const ChosenCommand* command = jobs_.Command(index);
        const JobId id = jobs_.Id(index);
        if (command != nullptr && *command == settings.command &&
            jobs_.OutputFolder(index) == settings.outputFolder &&
            std::none_of(watches_.begin(), watches_.end(),
                         [id](const auto& other) { return other->Owns(id); })) {
            listed.emplace(jobs_.JobPath(index), id);
        }
    }
    return listed;
}

bool WatchBoard::Pause(WatchId id) {
    FolderWatch* watch = Find(id);
    if (watch == nullptr) {
        return false;
    }
    watch->Pause(*this);
    Settle();
    return true;
}

bool WatchBoard::Resume(WatchId id) {
    FolderWatch* watch = Find(id);
    if (watch == nullptr) {
        return false;
    }
    std::unordered_map<std::string, JobId> listed = ListedJobsOf(watch->Settings());
    watch->Start(FolderWatch::Clock::now(), *this, [&listed](const std::string& path) {
        const auto found = listed.find(path);
        return found == listed.end() ? JobId{0} : found->second;
    });
    Settle();
    return true;
}

bool WatchBoard::Remove(WatchId id) {
    FolderWatch* watch = Find(id);
    if (watch == nullptr) {
        return false;
    }
    // Its jobs in the list stay, and their results still go into its record.
    watch->Remove(*this);
    Settle();
    return true;
}

bool WatchBoard::Retry(WatchId id, std::span<const std::string> paths) {
    FolderWatch* watch = Find(id);
    if (watch == nullptr) {
        return false;
    }
    std::vector<FoundFile> found;
    const bool retried = watch->Retry(paths, found);
    Queue(*watch, found);
    Settle();
    return retried;
}

std::vector<WatchView> WatchBoard::Views() const {
    std::vector<WatchView> views;
    for (const auto& watch : watches_) {
        if (!watch->Removed()) {
            views.push_back(watch->View());
        }
    }
    return views;
}

std::optional<WatchView> WatchBoard::View(WatchId id) const {
    const FolderWatch* watch = Find(id);
    return watch == nullptr ? std::nullopt : std::optional<WatchView>(watch->View());
}

// --- Jobs --------------------------------------------------------------------------------------

void WatchBoard::JobEnded(const JobResult& result) {
    for (const auto& watch : watches_) {
        if (result.outcome == JobOutcome::Done) {
            for (const std::string& output : result.outputs) {
                watch->OutputMade(output);
            }
        }
        if (watch->Owns(result.id)) {
            watch->Ended(result.id, result);
        }
    }
    Settle();
}

void WatchBoard::TakenOut(std::span<const JobId> ids) {
    for (const JobId id : ids) {
        for (const auto& watch : watches_) {
            watch->TakenOut(id);
        }
    }
    Settle();
}

void WatchBoard::Queue(FolderWatch& watch, std::vector<FoundFile>& found) {
    if (found.empty()) {
        return;
    }
    const WatchSettings& settings = watch.Settings();
    std::int32_t added = 0;
    jobs_.BeginAppend();
    for (const FoundFile& file : found) {
        if (const JobId id =
                jobs_.AddJob(file.path, file.subfolder, settings.command, settings.outputFolder)) {
            watch.Queued(file, id);
            ++added;
        }
    }
    jobs_.EndAppend();
    found.clear();
    if (added > 0) {
        observer_.WatchQueued(watch.Id(), added);
    }
}

// --- Events and time -----------------------------------------------------------------------------

bool WatchBoard::Watch(const std::string& folder) {
    int& users = folderUsers_[folder];
    if (users == 0 && Events().Add(folder)) {
        folderUsers_.erase(folder);
        return false;
    }
    ++users;
    return true;
}

void WatchBoard::Unwatch(const std::string& folder) {
    const auto found = folderUsers_.find(folder);
    if (found == folderUsers_.end()) {
        return;
    }
    if (--found->second <= 0) {
        folderUsers_.erase(found);
        Events().Remove(folder);
    }
}

void WatchBoard::Delivered(std::vector<FolderEvent> events) {
    const FolderWatch::Clock::time_point now = FolderWatch::Clock::now();
    for (const FolderEvent& event : events) {
        if (event.kind == FolderEvent::Kind::Gone) {
            folderUsers_.erase(event.folder);  // the system watches it no more
        }
        for (const auto& watch : watches_) {
            watch->Event(event, now, *this);
        }
    }
    Settle();
}

void WatchBoard::Settle() {
    if (settling_) {
        return;
    }
    settling_ = true;
    const FolderWatch::Clock::time_point now = FolderWatch::Clock::now();
    std::vector<FoundFile> found;
    // By index: a front end told of queued files may add or remove watches.
    for (std::size_t index = 0; index < watches_.size(); ++index) {
        FolderWatch& watch = *watches_[index];
        watch.Check(now, *this, found);
        Queue(watch, found);
    }
    std::erase_if(watches_,
                  [](const auto& watch) { return watch->Removed() && !watch->HasQueued(); });
    std::optional<FolderWatch::Clock::time_point> next;
    for (const auto& watch : watches_) {
        if (const auto time = watch->NextTime()) {
            next = next ? std::min(*next, *time) : *time;
        }
    }
    if (events_) {
        events_->WakeAt(next);
    }
    settling_ = false;
    TellChanged();
}

void WatchBoard::TellChanged() {
    std::vector<WatchId> changed;
    for (const auto& watch : watches_) {
        if (watch->TakeChanged() && !watch->Removed()) {
            changed.push_back(watch->Id());
        }
    }
    for (const WatchId id : changed) {
        observer_.WatchChanged(id);
    }
}

void WatchedRunFacts::JobEnded(const JobResult& result) {
    if (WatchBoard* board = board_()) {
        board->JobEnded(result);
    }
    next_.JobEnded(result);
}

}  // namespace palomix
