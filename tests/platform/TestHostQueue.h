// What the tests that start real child processes share: the path of a test helper program,
// and the host side of a launcher, a queue of posted tasks that the test runs on its own
// thread as the window's event loop would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "platform/ProcessLauncher.h"

namespace palomix::testing {

// Only guards against a hang; no test depends on how long anything takes.
inline constexpr std::chrono::seconds kPatience{60};

// The helper program NAME built with the tests (tests/helpers/NAME.cpp), as a command line
// names it (Windows adds ".exe" itself).
inline std::string Helper(const std::string& name) {
    return std::string(PALOMIX_TEST_HELPER_DIR) + "/test-helper-" + name;
}

// The file of that helper program.
inline std::string HelperFile(const std::string& name) {
    return Helper(name) + PALOMIX_EXECUTABLE_SUFFIX;
}

class HostQueue {
public:
    PostToHost Poster() {
        return [this](std::function<void()> task) {
            {
                const std::lock_guard lock(mutex_);
                tasks_.push_back(std::move(task));
            }
            posted_.notify_all();
        };
    }

    // Waits until a task has been posted, without running it.
    bool WaitForPosted() {
        std::unique_lock lock(mutex_);
        return posted_.wait_for(lock, kPatience, [&] { return !tasks_.empty(); });
    }

    // Runs posted tasks until `done` holds; false when nothing more came in time.
    bool RunUntil(const std::function<bool()>& done) {
        while (!done()) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                if (!posted_.wait_for(lock, kPatience, [&] { return !tasks_.empty(); })) {
                    return false;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
        return true;
    }

    std::size_t Pending() {
        const std::lock_guard lock(mutex_);
        return tasks_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

}  // namespace palomix::testing
