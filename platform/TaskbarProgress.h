// The progress bar on the program's task-bar button (Windows: ITaskbarList3 of the window).
// Elsewhere there is none and nothing is done; the Linux desktop's launcher progress goes over
// D-Bus from the window.
#pragma once

#include <memory>
#include <optional>

#include "platform/NativeWindow.h"

namespace palomix {

class TaskbarProgress {
public:
    // For the window's button. A window without a button yet, or a system without the task
    // bar's interface, shows nothing.
    explicit TaskbarProgress(NativeWindowHandle window);
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // The share done, 0 to 1; nullopt takes the bar away. False when it could not be shown.
    bool Show(std::optional<double> share);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace palomix
