#include "app/QueueSaver.h"

#include <QTimer>
#include <algorithm>
#include <charconv>
#include <exception>
#include <string_view>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// The next field of a snapshot's names, ended by a NUL; `at` moves past it.
std::string_view TakeField(std::string_view names, std::size_t& at) {
    const std::size_t end = names.find('\0', at);
    const std::string_view field = names.substr(at, end - at);
    at = end + 1;
    return field;
}

// One job of a snapshot: path, subfolder, own command and own output folder.
QueuedFile TakeQueuedFile(std::string_view names, std::size_t& at) {
    QueuedFile file;
    file.path = TakeField(names, at);
    file.subfolder = TakeField(names, at);
    if (const std::string_view command = TakeField(names, at); !command.empty()) {
        const std::size_t colon = command.find(':');
        int item = 0;
        std::from_chars(command.data(), command.data() + colon, item);
        file.command = ChosenCommand{std::string(command.substr(colon + 1)), item};
    }
    file.outputFolder = TakeField(names, at);
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
    Changed();
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

void QueueSaver::JobsAdded(std::int32_t /*first*/, std::int32_t /*count*/) {
    Changed();
}

void QueueSaver::JobsRemoved(std::int32_t /*first*/, std::int32_t /*count*/) {
    Changed();
}

void QueueSaver::JobsMoved(std::int32_t /*first*/, std::int32_t /*count*/) {
    Changed();
}

void QueueSaver::Changed() {
    if (!started_ || stopped_) {
        return;
    }
    dirty_ = true;
    // A moment after the change, so that whatever made it (a drop) is done and shown first.
    if (!timer_->isActive()) {
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - lastSnapshot_);
        timer_->start(std::max(settle_, interval_ - since));
    }
}

std::uint64_t QueueSaver::TakeSnapshot() {
    Snapshot snapshot{settings_(), {}, static_cast<std::size_t>(engine_.JobCount())};
    {
        const std::lock_guard lock(mutex_);
        snapshot.names = std::move(spare_);
    }
    std::size_t size = 0;
    engine_.VisitJobs([&size](const JobView& job) {
        size += job.path.size() + job.subfolder.size() + job.outputFolder.size() + 4;
    });
    snapshot.names.clear();
    snapshot.names.reserve(size);
    engine_.VisitJobs([&names = snapshot.names](const JobView& job) {
        names += job.path;
        names += '\0';
        names += job.subfolder;
        names += '\0';
        if (job.command != nullptr) {
            // A watched folder's job: its own command, "ITEM:SETTINGS FILE".
            names += std::to_string(job.command->itemNumber);
            names += ':';
            names += job.command->settingsFile;
        }
        names += '\0';
        names += job.outputFolder;
        names += '\0';
    });
    dirty_ = false;
    lastSnapshot_ = std::chrono::steady_clock::now();
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        // A snapshot the writer has not taken yet is out of date: this one replaces it, and
        // its room is kept for the next.
        if (pending_) {
            spare_ = std::move(pending_->names);
        }
        pending_ = std::move(snapshot);
        generation = ++handedOver_;
    }
    wake_.notify_one();
    return generation;
}

void QueueSaver::WaitForWriter(std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this, generation] { return done_ >= generation; });
}

void QueueSaver::Write() {
    for (;;) {
        Snapshot snapshot;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
            if (!pending_) {
                return;  // quit, with everything written
            }
            snapshot = std::move(*pending_);
            pending_.reset();
            generation = handedOver_;
        }
        SavedQueue queue = std::move(snapshot.settings);
        queue.files.reserve(snapshot.files);
        for (std::size_t at = 0; at < snapshot.names.size();) {
            queue.files.push_back(TakeQueuedFile(snapshot.names, at));
        }
        {
            const std::lock_guard lock(mutex_);
            spare_ = std::move(snapshot.names);
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
        {
            const std::lock_guard lock(mutex_);
            done_ = generation;
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
