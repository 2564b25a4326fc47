#include <windows.h>
// shlobj.h and knownfolders.h need the declarations of windows.h before them.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

#include "platform/PathRules.h"
#include "platform/UserFolders.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace {

// The path of a known folder of the user; nullopt when the shell knows none.
std::optional<std::string> KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path);
    std::optional<std::string> folder;
    if (SUCCEEDED(result) && path != nullptr && path[0] != L'\0') {
        folder = win32::FromWide(path);
    }
    ::CoTaskMemFree(path);  // also after a failure, as the shell asks
    return folder;
}

}  // namespace

std::optional<std::string> HomeFolder() {
    return KnownFolder(FOLDERID_Profile);
}

std::optional<std::string> ProgramUserFolder() {
    if (std::optional<std::string> folder = KnownFolder(FOLDERID_RoamingAppData)) {
        return JoinPath(*folder, "Palomix");
    }
    return std::nullopt;
}

std::optional<std::string> ProgramStateFolder() {
    if (std::optional<std::string> folder = KnownFolder(FOLDERID_LocalAppData)) {
        return JoinPath(*folder, "Palomix");
    }
    return std::nullopt;
}

std::optional<std::string> UserVideosFolder() {
    return KnownFolder(FOLDERID_Videos);
}

}  // namespace palomix
