#include "controllogic/FolderPathText.h"

#include <vector>

namespace palomix {
namespace {

bool IsTrailingSeparator(char c, PathStyle style) {
    return style == PathStyle::Windows ? (c == '\\' || c == '/') : c == '/';
}

// Length of the root that keeps its separator: "/" or "C:\".
std::size_t RootLength(std::string_view path, PathStyle style) {
    if (style == PathStyle::Windows) {
        if (path.size() >= 3 && path[1] == ':' && IsTrailingSeparator(path[2], style)) {
            return 3;
        }
        return (!path.empty() && IsTrailingSeparator(path[0], style)) ? 1 : 0;
    }
    return (!path.empty() && path[0] == '/') ? 1 : 0;
}

// Byte offsets where the UTF-8 characters of the text start.
std::vector<std::size_t> CharacterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            starts.push_back(i);
        }
    }
    return starts;
}

}  // namespace

std::string ChosenFolderText(std::string_view path, PathStyle style) {
    const std::size_t keep = RootLength(path, style);
    std::size_t size = path.size();
    while (size > keep && IsTrailingSeparator(path[size - 1], style)) {
        --size;
    }
    return std::string(path.substr(0, size));
}

std::string ShortenedPathText(std::string_view path, std::size_t maxChars) {
    constexpr std::string_view kEllipsis = "...";
    const std::vector<std::size_t> starts = CharacterStarts(path);
    if (starts.size() <= maxChars) {
        return std::string(path);
    }
    if (maxChars <= kEllipsis.size()) {
        return std::string(kEllipsis.substr(0, maxChars));
    }
    const std::size_t kept = maxChars - kEllipsis.size();
    const std::size_t headChars = kept / 2;
    const std::size_t tailChars = kept - headChars;
    std::string text(path.substr(0, starts[headChars]));
    text += kEllipsis;
    text += path.substr(starts[starts.size() - tailChars]);
    return text;
}

}  // namespace palomix
