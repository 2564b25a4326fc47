#include "engine/watch/WatchedNames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace palomix {

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool EndsWithIgnoringCase(std::string_view name, std::string_view end) {
    return name.size() > end.size() &&
           EqualIgnoringCase(name.substr(name.size() - end.size()), end);
}

constexpr std::array<std::string_view, 5> kPartialEnds{".part", ".partial", ".crdownload",
                                                       ".download", ".tmp"};
constexpr std::array<std::string_view, 2> kFolderViewFiles{"Thumbs.db", "desktop.ini"};

}  // namespace

bool PassedOverFile(std::string_view name) {
    if (name.empty() || name.front() == '.') {
        return true;
    }
    return std::any_of(kPartialEnds.begin(), kPartialEnds.end(),
                       [name](std::string_view end) { return EndsWithIgnoringCase(name, end); }) ||
           std::any_of(kFolderViewFiles.begin(), kFolderViewFiles.end(),
                       [name](std::string_view file) { return EqualIgnoringCase(name, file); });
}

bool PassedOverFolder(std::string_view name) {
    return name.empty() || name.front() == '.';
}

}  // namespace palomix
