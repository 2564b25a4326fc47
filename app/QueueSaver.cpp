#include "app/QueueSaver.h"

#include <QTimer>
#include <algorithm>
#include <exception>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace palomix {

QueueSaver::QueueSaver(const JobQueue& jobs, std::string path, SettingsSource settings,
                       QObject* parent)
    : QObject(parent),
      jobs_(jobs),
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
    jobs_.AddObserver(this);
}

QueueSaver::~QueueSaver() {
    jobs_.RemoveObserver(this);
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

void QueueSaver::RowsInserted(int /*firstRow*/, int /*count*/) {
    Changed();
}

void QueueSaver::RowsRemoved(int /*firstRow*/, int /*count*/) {
    Changed();
}

void QueueSaver::CellsChanged(int /*firstRow*/, int /*lastRow*/, int /*firstColumn*/,
                              int lastColumn) {
    // The status column changes every second during a run; it is not kept.
    if (lastColumn > kStatusColumn) {
        Changed();
    }
}

void QueueSaver::Changed() {
    if (!started_ || stopped_) {
        return;
    }
    dirty_ = true;
    if (!timer_->isActive()) {
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - lastSnapshot_);
        timer_->start(std::max(std::chrono::milliseconds(0), interval_ - since));
    }
}

std::uint64_t QueueSaver::TakeSnapshot() {
    SavedQueue queue = settings_();
    queue.files.clear();
    queue.files.reserve(static_cast<std::size_t>(jobs_.JobCount()));
    for (std::int32_t index = 0; index < jobs_.JobCount(); ++index) {
        queue.files.push_back({jobs_.JobPath(index), jobs_.Subfolder(index)});
    }
    dirty_ = false;
    lastSnapshot_ = std::chrono::steady_clock::now();
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(mutex_);
        // A snapshot the writer has not taken yet is out of date: this one replaces it.
        pending_ = std::move(queue);
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
        SavedQueue queue;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
            if (!pending_) {
                return;  // quit, with everything written
            }
            queue = std::move(*pending_);
            pending_.reset();
            generation = handedOver_;
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
