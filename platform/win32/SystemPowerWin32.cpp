#include <windows.h>
// powrprof.h needs the declarations of windows.h before it.
#include <powrprof.h>

#include <memory>

#include "platform/SystemPower.h"

namespace palomix {

namespace {

std::error_code LastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

// Shutting down needs the shutdown privilege, which a user's token holds but has not enabled.
std::error_code EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return LastError();
    }
    const std::unique_ptr<void, BOOL (*)(HANDLE)> tokenHolder(token, ::CloseHandle);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        return LastError();
    }
    // Succeeds also when the privilege is not held; the last error tells.
    if (!::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr)) {
        return LastError();
    }
    const DWORD adjusted = ::GetLastError();
    return adjusted == ERROR_SUCCESS
               ? std::error_code()
               : std::error_code(static_cast<int>(adjusted), std::system_category());
}

}  // namespace

SleepBlock::SleepBlock()
    : active_(::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0) {}

SleepBlock::~SleepBlock() {
    if (active_) {
        ::SetThreadExecutionState(ES_CONTINUOUS);
    }
}

std::error_code SuspendComputer() {
    if (::SetSuspendState(FALSE, FALSE, FALSE)) {
        return {};
    }
    return LastError();
}

std::error_code ShutDownComputer() {
    if (const std::error_code error = EnableShutdownPrivilege()) {
        return error;
    }
    if (::ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, SHTDN_REASON_MAJOR_APPLICATION |
                                                         SHTDN_REASON_MINOR_OTHER |
                                                         SHTDN_REASON_FLAG_PLANNED)) {
        return {};
    }
    return LastError();
}

}  // namespace palomix
