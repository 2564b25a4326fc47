#include <windows.h>

#include <string>

#include "platform/ExecutablePath.h"
#include "platform/win32/WideText.h"

namespace palomix {

std::string ExecutablePath() {
    std::wstring buffer(32768, L'\0');
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(n);
    return win32::FromWide(buffer);
}

}  // namespace palomix
