#include "cli/HostLoop.h"

#include <utility>

namespace palomix {

void HostLoop::Post(Task task) {
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    arrived_.notify_one();
}

PostToHost HostLoop::Poster() {
    return [this](std::function<void()> task) { Post(std::move(task)); };
}

void HostLoop::Run(Clock::duration period, const std::function<void()>& tick,
                   const std::function<bool()>& finished) {
    Clock::time_point nextTick = Clock::now() + period;
    while (!finished()) {
        Task task;
        bool tickDue = false;
        {
            std::unique_lock lock(mutex_);
            arrived_.wait_until(lock, nextTick, [this] { return !tasks_.empty(); });
            // A tick that is due goes first, so a steady stream of tasks cannot hold it off.
            const Clock::time_point now = Clock::now();
            if (now >= nextTick) {
                tickDue = true;
                nextTick += period;
                if (nextTick <= now) {
                    nextTick = now + period;
                }
            } else if (!tasks_.empty()) {
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
        }
        if (tickDue) {
            if (tick) {
                tick();
            }
        } else if (task) {
            task();
        }
    }
}

void HostLoop::Clear() {
    std::deque<Task> dropped;
    {
        const std::lock_guard lock(mutex_);
        dropped.swap(tasks_);
    }
    // Destroyed outside the lock: a task's captures may post on their way out.
}

}  // namespace palomix
