#include <windows.h>

#include <mutex>
#include <stdexcept>
#include <utility>

#include "platform/InterruptSignals.h"

namespace palomix {

struct InterruptWatch::State {
    Handler onInterruption;
};

namespace {

// The watch in charge and the lock that keeps it alive while its handler runs. The system's
// console handler has nowhere else to find them, so these are the values of the program that
// live at namespace scope.
std::mutex watchMutex;
const InterruptWatch::Handler* currentHandler = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const Interruption::Kind kind = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT
                                        ? Interruption::Kind::Interrupt
                                        : Interruption::Kind::Terminate;
    {
        const std::lock_guard lock(watchMutex);
        if (currentHandler == nullptr) {
            return FALSE;
        }
        if (*currentHandler) {
            (*currentHandler)(Interruption{kind, static_cast<int>(event)});
        }
    }
    if (kind == Interruption::Kind::Terminate) {
        // The system ends the process as soon as this returns; waiting here gives the program
        // the time to stop its converter and end by itself.
        ::Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch(Handler onInterruption) : state_(std::make_unique<State>()) {
    state_->onInterruption = std::move(onInterruption);
    {
        const std::lock_guard lock(watchMutex);
        if (currentHandler != nullptr) {
            throw std::logic_error("the interruptions are already being watched");
        }
        currentHandler = &state_->onInterruption;
    }
    if (!::SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        const std::lock_guard lock(watchMutex);
        currentHandler = nullptr;
        throw std::runtime_error("cannot watch the console's Ctrl-C");
    }
}

InterruptWatch::~InterruptWatch() {
    ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    const std::lock_guard lock(watchMutex);
    currentHandler = nullptr;
}

void EndByInterruption(const Interruption& /*interruption*/) {
    ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace palomix
