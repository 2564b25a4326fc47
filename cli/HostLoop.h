// palomix-batch's event loop: the thread that owns the batch run. Other threads (the
// launcher's waiting threads, the signal watcher) hand it tasks; it runs them one at a time in
// the order they came, and calls a tick function once per period in between. It sleeps until
// a task arrives or the next tick is due, so a process's end is handled the moment it is
// posted, and nothing polls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/ProcessLauncher.h"

namespace palomix {

class HostLoop {
public:
    using Clock = std::chrono::steady_clock;
    using Task = std::function<void()>;

    HostLoop() = default;
    HostLoop(const HostLoop&) = delete;
    HostLoop& operator=(const HostLoop&) = delete;

    // Queues a task for the loop's thread. Safe from any thread; never runs the task itself.
    void Post(Task task);

    // A PostToHost function for a launcher; the loop must outlive whoever holds it.
    PostToHost Poster();

    // Runs on the calling thread: the queued tasks in order, and `tick` at every multiple of
    // `period` after the call began (a tick that falls due while a task runs comes after it;
    // ticks missed by a long task are not made up), until `finished` is true. `finished` is
    // asked before waiting and after every task and tick. Tasks still queued at the end stay
    // queued.
    void Run(Clock::duration period, const std::function<void()>& tick,
             const std::function<bool()>& finished);

    // Throws away the tasks not yet run.
    void Clear();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Task> tasks_;
};

}  // namespace palomix
