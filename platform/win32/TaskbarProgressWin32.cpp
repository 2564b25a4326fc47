#include <windows.h>
// shobjidl.h needs the declarations of windows.h before it.
#include <shobjidl.h>

#include <algorithm>
#include <cmath>

#include "platform/TaskbarProgress.h"

namespace palomix {

struct TaskbarProgress::State {
    HWND window = nullptr;
    bool comStarted = false;
    ITaskbarList3* taskbar = nullptr;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (taskbar != nullptr) {
            taskbar->SetProgressState(window, TBPF_NOPROGRESS);
            taskbar->Release();
        }
        if (comStarted) {
            ::CoUninitialize();
        }
    }
};

TaskbarProgress::TaskbarProgress(NativeWindowHandle window) : state_(std::make_unique<State>()) {
    state_->window = static_cast<HWND>(window);
    if (state_->window == nullptr) {
        return;
    }
    // A window's thread has COM already (Qt starts it); this only counts one more use, and a
    // thread in the other mode is left as it is.
    state_->comStarted = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskbarList3, reinterpret_cast<void**>(&taskbar)))) {
        return;
    }
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        return;
    }
    state_->taskbar = taskbar;
}

TaskbarProgress::~TaskbarProgress() = default;

bool TaskbarProgress::Show(std::optional<double> share) {
    ITaskbarList3* taskbar = state_->taskbar;
    if (taskbar == nullptr) {
        return false;
    }
    if (!share || !std::isfinite(*share)) {
        return SUCCEEDED(taskbar->SetProgressState(state_->window, TBPF_NOPROGRESS));
    }
    constexpr ULONGLONG kSteps = 1000;
    const auto done = static_cast<ULONGLONG>(std::floor(std::clamp(*share, 0.0, 1.0) * kSteps));
    return SUCCEEDED(taskbar->SetProgressState(state_->window, TBPF_NORMAL)) &&
           SUCCEEDED(taskbar->SetProgressValue(state_->window, done, kSteps));
}

}  // namespace palomix
