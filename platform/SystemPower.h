// The system's own power calls (Windows): keeping the computer awake, suspending it and
// shutting it down. On Linux these go through systemd-logind over D-Bus from the window, so
// here the computer is never kept awake and both requests answer "not supported".
#pragma once

#include <system_error>

namespace palomix {

// While it lives the computer does not go to sleep by itself (Windows:
// SetThreadExecutionState on the thread that made it, which must also be the one that ends
// it).
class SleepBlock {
public:
    SleepBlock();
    ~SleepBlock();
    SleepBlock(const SleepBlock&) = delete;
    SleepBlock& operator=(const SleepBlock&) = delete;

    // True when the system took the request.
    bool Active() const { return active_; }

private:
    bool active_ = false;
};

// Asks the system to suspend, or to shut down and power off, now. An empty error code when it
// took the request; else why not.
std::error_code SuspendComputer();
std::error_code ShutDownComputer();

}  // namespace palomix
