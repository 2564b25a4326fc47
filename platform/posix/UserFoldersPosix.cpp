#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/PathRules.h"
#include "platform/UserFolders.h"

namespace palomix {

namespace {

std::optional<std::string> AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;  // XDG: a relative value is to be ignored
    }
    return std::string(value);
}

std::optional<std::string> ConfigurationFolder() {
    if (std::optional<std::string> folder = AbsoluteVariable("XDG_CONFIG_HOME")) {
        return folder;
    }
    if (std::optional<std::string> home = HomeFolder()) {
        return JoinPath(*home, ".config");
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> HomeFolder() {
    if (std::optional<std::string> home = AbsoluteVariable("HOME")) {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

std::optional<std::string> ProgramUserFolder() {
    if (std::optional<std::string> folder = ConfigurationFolder()) {
        return JoinPath(*folder, "palomix");
    }
    return std::nullopt;
}

std::optional<std::string> ProgramStateFolder() {
    if (std::optional<std::string> folder = AbsoluteVariable("XDG_STATE_HOME")) {
        return JoinPath(*folder, "palomix");
    }
    if (std::optional<std::string> home = HomeFolder()) {
        return JoinPath(JoinPath(*home, ".local/state"), "palomix");
    }
    return std::nullopt;
}

std::optional<std::string> UserVideosFolder() {
    const std::optional<std::string> folder = ConfigurationFolder();
    if (!folder) {
        return std::nullopt;
    }
    std::ifstream file(JoinPath(*folder, "user-dirs.dirs"), std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    return VideosFolderOfUserDirs(text, HomeFolder().value_or(std::string()));
}

}  // namespace palomix
