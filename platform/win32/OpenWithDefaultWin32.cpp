#include <windows.h>
// shellapi.h needs the declarations of windows.h before it.
#include <shellapi.h>

#include <string>

#include "platform/OpenWithDefault.h"
#include "platform/win32/WideText.h"

namespace palomix {

void TryOpenWithDefaultProgram(const std::string& pathOrUrl, OpenFailureHandler onFailure) {
    const std::wstring target = win32::ToWide(pathOrUrl);
    // A value above 32 means the program was started; anything else is the reason it was not
    // (no program associated with the file type, a missing file, ...).
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW));
    if (result <= 32 && onFailure) {
        onFailure(OpenFailure{OpenFailure::Kind::NotStarted, static_cast<int>(result)});
    }
}

void OpenWithDefaultProgram(const std::string& pathOrUrl) {
    TryOpenWithDefaultProgram(pathOrUrl, nullptr);
}

}  // namespace palomix
