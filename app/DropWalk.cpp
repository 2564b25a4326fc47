#include "app/DropWalk.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/FileSystem.h"

namespace palomix {

namespace {

using Clock = std::chrono::steady_clock;

// A batch of files is handed over when it is this large or this old, and the window takes
// batches for at most a slice of a turn of its event loop before it lets the loop go on. A
// batch is small enough that a turn (a slice, the batch that ends it, the paint that follows)
// stays well under what a user feels as a stall.
constexpr std::size_t kBatchFiles = 4096;
constexpr auto kBatchAge = std::chrono::milliseconds(20);
constexpr auto kHandOverSlice = std::chrono::milliseconds(10);
// How long a drop waits for a walk to end before it lets the files come later: a drop that
// holds a few folders is in the list when it returns, a larger one never holds the window up
// longer than this.
constexpr auto kWaitForSmallDrop = std::chrono::milliseconds(12);

bool AnyFolder(const std::vector<std::string>& paths) {
    return std::any_of(paths.begin(), paths.end(),
                       [](const std::string& path) { return IsFolder(IncomingPath(path)); });
}

}  // namespace

DropWalk::DropWalk(FilesFound filesFound, DropEnded dropEnded, QObject* parent)
    : QObject(parent), filesFound_(std::move(filesFound)), dropEnded_(std::move(dropEnded)) {}

DropWalk::~DropWalk() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool DropWalk::Busy() const {
    const std::lock_guard lock(mutex_);
    return dropsBeingWalked_ > dropsEnded_ || !found_.empty();
}

void DropWalk::Take(std::vector<std::string> paths) {
    if (!Busy() && !AnyFolder(paths)) {
        // Files alone: nothing to search, taken at once.
        std::vector<JobEntry> files;
        IntakeResult result =
            Engine::WalkPaths(paths, [&files](const std::string& path, std::string_view subfolder) {
                files.push_back(JobEntry{path, std::string(subfolder)});
                return true;
            });
        filesFound_(std::move(files));
        dropEnded_(std::move(result));
        return;
    }
    std::size_t number = 0;
    {
        const std::lock_guard lock(mutex_);
        drops_.push_back(std::move(paths));
        number = ++dropsBeingWalked_;
    }
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
    bool ended = false;
    {
        std::unique_lock lock(mutex_);
        ended = ended_.wait_for(lock, kWaitForSmallDrop, [&] { return dropsEnded_ >= number; });
    }
    if (ended) {
        HandOver();  // the whole drop now; a larger one comes on the turns after this one
    }
}

void DropWalk::Run() {
    for (;;) {
        std::vector<std::string> paths;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !drops_.empty(); });
            if (quit_) {
                return;
            }
            paths = std::move(drops_.front());
            drops_.pop_front();
        }
        WalkOne(std::move(paths));
    }
}

void DropWalk::WalkOne(std::vector<std::string> paths) {
    std::vector<JobEntry> batch;
    auto batchStart = Clock::now();
    const auto post = [this](Found found) {
        bool schedule = false;
        {
            const std::lock_guard lock(mutex_);
            if (std::holds_alternative<DropEnd>(found)) {
                ++dropsEnded_;
            }
            found_.push_back(std::move(found));
            schedule = !std::exchange(handOverPending_, true);
        }
        ended_.notify_all();
        if (schedule) {
            QMetaObject::invokeMethod(
                this, [this] { HandOver(); }, Qt::QueuedConnection);
        }
    };
    IntakeResult result =
        Engine::WalkPaths(paths, [&](const std::string& path, std::string_view subfolder) {
            if (quit_) {
                return false;
            }
            batch.push_back(JobEntry{path, std::string(subfolder)});
            if (batch.size() >= kBatchFiles || Clock::now() - batchStart >= kBatchAge) {
                post(std::exchange(batch, {}));
                batch.reserve(kBatchFiles);
                batchStart = Clock::now();
            }
            return true;
        });
    if (!batch.empty()) {
        post(std::move(batch));
    }
    post(DropEnd{std::move(result)});
}

void DropWalk::HandOver() {
    const auto start = Clock::now();
    for (;;) {
        Found found;
        {
            const std::lock_guard lock(mutex_);
            if (found_.empty()) {
                handOverPending_ = false;
                return;
            }
            if (Clock::now() - start >= kHandOverSlice) {
                // The rest on a later turn, after what else the window has to do.
                handOverPending_ = true;
                QMetaObject::invokeMethod(
                    this, [this] { HandOver(); }, Qt::QueuedConnection);
                return;
            }
            found = std::move(found_.front());
            found_.pop_front();
        }
        if (auto* files = std::get_if<std::vector<JobEntry>>(&found)) {
            filesFound_(std::move(*files));
        } else {
            dropEnded_(std::move(std::get<DropEnd>(found).result));
        }
    }
}

}  // namespace palomix
