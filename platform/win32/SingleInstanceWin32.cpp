#include <windows.h>

#include "platform/SingleInstance.h"
#include "platform/win32/WideText.h"

namespace palomix {

struct SingleInstanceLock::Handle {
    HANDLE mutex = nullptr;
    ~Handle() {
        if (mutex != nullptr) {
            ::CloseHandle(mutex);
        }
    }
};

std::optional<std::string> SingleInstanceLockPlace(const std::string& name) {
    return name;  // a mutex of the session's namespace
}

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
    const std::wstring wideName = win32::ToWide(name);
    if (HANDLE existing = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, wideName.c_str())) {
        ::CloseHandle(existing);
        outcome_ = Outcome::HeldElsewhere;
        return;
    }
    HANDLE created = ::CreateMutexW(nullptr, TRUE, wideName.c_str());
    if (created == nullptr) {
        // A mutex of that name that we may not open (another user's session) also means
        // another instance.
        outcome_ =
            ::GetLastError() == ERROR_ACCESS_DENIED ? Outcome::HeldElsewhere : Outcome::Unavailable;
        return;
    }
    const bool raced = ::GetLastError() == ERROR_ALREADY_EXISTS;
    handle_ = std::make_unique<Handle>();
    handle_->mutex = created;
    // Two starts at the same moment: the one that did not create the mutex leaves.
    outcome_ = raced ? Outcome::HeldElsewhere : Outcome::Held;
}

SingleInstanceLock::~SingleInstanceLock() = default;

}  // namespace palomix
