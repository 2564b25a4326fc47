#include <windows.h>
// shellapi.h needs the declarations of windows.h before it.
#include <shellapi.h>

#include <string>

#include "platform/OpenWithDefault.h"
#include "platform/win32/WideText.h"

namespace palomix {

void OpenWithDefaultProgram(const std::string& pathOrUrl) {
    const std::wstring target = win32::ToWide(pathOrUrl);
    // The result is not examined: a file type without an associated program simply opens
    // nothing.
    ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace palomix
