// The files below dropped folders, found on a thread of the walk's own, so that a drop of any
// size (a library of a million files) leaves the window responsive: the files come back to the
// window's thread in batches, in the order found, while the walk goes on. A drop that holds no
// folder is taken whole at once, and so is a small one whose walk ends within a moment: as
// before, its files are in the list when the drop returns. Drops made while a walk runs are
// walked after it, so that the list keeps the order of the drops.
#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "engine/Engine.h"

namespace palomix {

class DropWalk final : public QObject {
    Q_OBJECT

public:
    // Files found, to be put into the list (on the window's thread).
    using FilesFound = std::function<void(std::vector<JobEntry> files)>;
    // The walk of one drop has ended: what could not be taken.
    using DropEnded = std::function<void(IntakeResult result)>;

    DropWalk(FilesFound filesFound, DropEnded dropEnded, QObject* parent = nullptr);
    // Ends a walk that still runs (what it has not handed over is dropped).
    ~DropWalk() override;
    DropWalk(const DropWalk&) = delete;
    DropWalk& operator=(const DropWalk&) = delete;

    // Walks the paths after the drops before them. Returns once the drop's files are handed
    // over, or a moment later with the rest to come.
    void Take(std::vector<std::string> paths);
    // True while a drop is being walked or its files wait to be handed over.
    bool Busy() const;

private:
    struct DropEnd {
        IntakeResult result;
    };
    using Found = std::variant<std::vector<JobEntry>, DropEnd>;

    void Run();
    void WalkOne(std::vector<std::string> paths);
    // Hands over everything found so far, on the window's thread.
    void HandOver();

    FilesFound filesFound_;
    DropEnded dropEnded_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;   // a drop to walk, or the end
    std::condition_variable ended_;  // a drop's walk has ended
    std::deque<std::vector<std::string>> drops_;
    std::deque<Found> found_;           // what the walk found, in order
    std::size_t dropsBeingWalked_ = 0;  // given to Take so far
    std::size_t dropsEnded_ = 0;
    bool handOverPending_ = false;
    std::atomic<bool> quit_{false};  // set under the mutex
    std::thread thread_;
};

}  // namespace palomix
