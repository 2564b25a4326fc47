#include "app/QueueSaver.h"

#include <QTimer>
#include <algorithm>
#include <charconv>
#include <deque>
#include <exception>
#include <string_view>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/ThreadPriority.h"

namespace palomix {

namespace {

// A job as the writer's copy of the list keeps it: path, subfolder, own command ("ITEM:SETTINGS
// FILE", or empty) and own output folder, each ended by a NUL (which no name holds).
std::string RecordOf(const JobView& job) {
    std::string record;
    record.reserve(job.path.size() + job.subfolder.size() + job.outputFolder.size() + 4);
    record += job.path;
    record += '\0';
    record += job.subfolder;
    record += '\0';
    if (job.command != nullptr) {
        // A watched folder's job.
        record += std::to_string(job.command->itemNumber);
        record += ':';
        record += job.command->settingsFile;
    }
    record += '\0';
    record += job.outputFolder;
    record += '\0';
    return record;
}

// The next field of a record; `at` moves past it.
std::string_view TakeField(std::string_view record, std::size_t& at) {
    const std::size_t end = record.find('\0', at);
    const std::string_view field = record.substr(at, end - at);
    at = end + 1;
    return field;
}

QueuedFile QueuedFileOf(std::string_view record) {
    std::size_t at = 0;
    QueuedFile file;
    file.path = TakeField(record, at);
    file.subfolder = TakeField(record, at);
    if (const std::string_view command = TakeField(record, at); !command.empty()) {
        const std::size_t colon = command.find(':');
        int item = 0;
        std::from_chars(command.data(), command.data() + colon, item);
        file.command = ChosenCommand{std::string(command.substr(colon + 1)), item};
    }
    file.outputFolder = TakeField(record, at);
    return file;
}

}  // namespace

QueueSaver::QueueSaver(Engine& engine, std::string path, SettingsSource settings, QObject* parent)
    : QObject(parent),
      engine_(engine),
      path_(std::move(path)),
      settings_(std::move(settings)),
      timer_(new QTimer(this)),
      writer_([this] { Write(); }) {
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (dirty_ && !stopped_) {
            TakeSnapshot();
        }
    });
    engine_.AddObserver(this);
}

QueueSaver::~QueueSaver() {
    engine_.RemoveObserver(this);
    if (started_ && !stopped_ && dirty_) {
        TakeSnapshot();
    }
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    writer_.join();
}

void QueueSaver::Start() {
    started_ = true;
    NoteWholeList();
}

void QueueSaver::SettingsChanged() {
    Changed();
}

void QueueSaver::SaveNow() {
    if (!started_ || stopped_) {
        return;
    }
    timer_->stop();
    WaitForWriter(TakeSnapshot());
}

void QueueSaver::Stop() {
    stopped_ = true;
    timer_->stop();
}

std::uint64_t QueueSaver::Written() const {
    const std::lock_guard lock(mutex_);
    return done_;
}

void QueueSaver::JobsAdded(std::int32_t first, std::int32_t count) {
    if (started_ && !stopped_) {
        Note({ListChange::Kind::Added, first, count, Records(first, count)});
    }
}

void QueueSaver::JobsRemoved(std::int32_t first, std::int32_t count) {
    if (!started_ || stopped_) {
        return;
    }
    // Jobs end one after the other at the head: one change for all of them.
    if (!noted_.empty() && noted_.back().kind == ListChange::Kind::Removed &&
        noted_.back().first == first) {
        noted_.back().count += count;
        notedLength_ -= count;
        Changed();
        return;
    }
    Note({ListChange::Kind::Removed, first, count, {}});
}

void QueueSaver::JobsMoved(std::int32_t first, std::int32_t count) {
    if (started_ && !stopped_) {
        Note({ListChange::Kind::Replaced, first, count, Records(first, count)});
    }
}

std::vector<std::string> QueueSaver::Records(std::int32_t first, std::int32_t count) const {
    std::vector<std::string> records;
    records.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t index = first; index < first + count; ++index) {
        records.push_back(RecordOf(engine_.Job(index)));
    }
    return records;
}

void QueueSaver::Note(ListChange change) {
    switch (change.kind) {
        case ListChange::Kind::Whole:
            noted_.clear();  // what was noted before is in the whole list
            notedLength_ = static_cast<std::int64_t>(change.records.size());
            break;
        case ListChange::Kind::Added:
            notedLength_ += change.count;
            break;
        case ListChange::Kind::Removed:
            notedLength_ -= change.count;
            break;
        case ListChange::Kind::Replaced:
            break;
    }
    noted_.push_back(std::move(change));
    Changed();
}

void QueueSaver::NoteWholeList() {
    const std::int32_t count = engine_.JobCount();
    Note({ListChange::Kind::Whole, 0, count, Records(0, count)});
}

void QueueSaver::Changed() {
    if (!started_ || stopped_) {
        return;
    }
    dirty_ = true;
    // A moment after the change, so that whatever made it (a drop) is done and shown first;
    // and not sooner after the last write than a few times what that write took.
    if (!timer_->isActive()) {
        std::chrono::milliseconds interval = interval_;
        {
            const std::lock_guard lock(mutex_);
            interval = std::max(interval, 4 * lastWriteTook_);
        }
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - lastSnapshot_);
        timer_->start(std::max(settle_, interval - since));
    }
}

std::uint64_t QueueSaver::TakeSnapshot() {
    // The facts add up to the list's length, or the writer is given the whole list again.
    if (notedLength_ != engine_.JobCount()) {
        NoteWholeList();
    }
    SavedQueue settings = settings_();
    dirty_ = false;
    lastSnapshot_ = std::chrono::steady_clock::now();
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        pendingSettings_ = std::move(settings);
        for (ListChange& change : noted_) {
            if (change.kind == ListChange::Kind::Whole) {
                pendingChanges_.clear();
            }
            pendingChanges_.push_back(std::move(change));
        }
        generation = ++handedOver_;
    }
    noted_.clear();
    wake_.notify_one();
    return generation;
}

void QueueSaver::WaitForWriter(std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this, generation] { return done_ >= generation; });
}

namespace {

// Applies a change to the writer's copy of the list.
template <typename Change>
void Apply(std::deque<std::string>& list, Change& change) {
    using Kind = typename Change::Kind;
    const auto at = [&list](std::int32_t index) {
        return list.begin() + std::clamp<std::ptrdiff_t>(index, 0, std::ssize(list));
    };
    switch (change.kind) {
        case Kind::Whole:
            list.assign(std::make_move_iterator(change.records.begin()),
                        std::make_move_iterator(change.records.end()));
            break;
        case Kind::Added:
            list.insert(at(change.first), std::make_move_iterator(change.records.begin()),
                        std::make_move_iterator(change.records.end()));
            break;
        case Kind::Removed:
            list.erase(at(change.first), at(change.first + change.count));
            break;
        case Kind::Replaced:
            std::move(change.records.begin(),
                      change.records.begin() + (at(change.first + change.count) - at(change.first)),
                      at(change.first));
            break;
    }
}

}  // namespace

void QueueSaver::Write() {
    // The window and a drop's walk come first; the file is written in the time they leave.
    GiveWayToOtherThreads();
    std::deque<std::string> list;  // the list as the changes handed over so far make it
    for (;;) {
        std::vector<ListChange> changes;
        SavedQueue queue;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || done_ < handedOver_; });
            if (done_ == handedOver_) {
                return;  // quit, with everything written
            }
            changes = std::move(pendingChanges_);
            pendingChanges_.clear();
            queue = pendingSettings_;
            generation = handedOver_;
        }
        const auto began = std::chrono::steady_clock::now();
        for (ListChange& change : changes) {
            Apply(list, change);
        }
        changes.clear();
        queue.files.reserve(list.size());
        for (const std::string& record : list) {
            queue.files.push_back(QueuedFileOf(record));
        }
        std::string failure;
        try {
            if (!queue.files.empty()) {
                // The user's folder of an installed copy may not be there yet.
                CreateFolderTree(FolderOf(path_));
            }
            SaveQueueFile(path_, queue);
        } catch (const std::exception& error) {
            failure = error.what();
            if (failure.empty()) {
                failure = path_;
            }
        }
        queue = {};
        {
            const std::lock_guard lock(mutex_);
            done_ = generation;
            lastWriteTook_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - began);
        }
        written_.notify_all();
        QMetaObject::invokeMethod(
            this, [this, failure = std::move(failure)] { WriteEnded(failure); },
            Qt::QueuedConnection);
    }
}

void QueueSaver::WriteEnded(const std::string& failure) {
    if (failure.empty()) {
        failing_ = false;
        return;
    }
    if (!failing_) {
        failing_ = true;
        if (OnWriteFailed) {
            OnWriteFailed(failure);
        }
    }
}

}  // namespace palomix
