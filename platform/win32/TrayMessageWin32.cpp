#include <windows.h>
// shellapi.h needs the declarations of windows.h before it.
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "platform/TrayMessage.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace {

// Copies as much of the text as fits with its terminating zero, never half a surrogate pair.
template <std::size_t N>
void CopyInto(wchar_t (&field)[N], std::string_view utf8) {
    const std::wstring wide = win32::ToWide(utf8);
    std::size_t count = std::min(wide.size(), N - 1);
    if (count > 0 && count < wide.size() && wide[count - 1] >= 0xD800 &&
        wide[count - 1] <= 0xDBFF) {
        --count;
    }
    std::copy_n(wide.begin(), count, field);
    field[count] = L'\0';
}

}  // namespace

struct TrayMessage::State {
    NOTIFYICONDATAW icon{};
    bool added = false;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (added) {
            ::Shell_NotifyIconW(NIM_DELETE, &icon);
        }
    }
};

TrayMessage::TrayMessage(NativeWindowHandle window) : state_(std::make_unique<State>()) {
    NOTIFYICONDATAW& icon = state_->icon;
    icon.cbSize = sizeof icon;
    icon.hWnd = static_cast<HWND>(window);
    icon.uID = 1;
}

TrayMessage::~TrayMessage() = default;

bool TrayMessage::Show(std::string_view title, std::string_view text) {
    NOTIFYICONDATAW& icon = state_->icon;
    if (icon.hWnd == nullptr) {
        return false;
    }
    // The window's own small icon, else the system's program icon (IDI_APPLICATION).
    auto small = reinterpret_cast<HICON>(::GetClassLongPtrW(icon.hWnd, GCLP_HICONSM));
    icon.hIcon = small != nullptr ? small : ::LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    icon.uFlags = NIF_ICON | NIF_TIP | NIF_INFO;
    CopyInto(icon.szTip, "Palomix");
    CopyInto(icon.szInfoTitle, title);
    CopyInto(icon.szInfo, text.empty() ? title : text);
    icon.dwInfoFlags = NIIF_INFO;
    if (state_->added) {
        return ::Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
    }
    state_->added = ::Shell_NotifyIconW(NIM_ADD, &icon) != FALSE;
    return state_->added;
}

}  // namespace palomix
