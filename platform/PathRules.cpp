#include "platform/PathRules.h"

namespace palomix {

char JoinSeparator(PathStyle style) {
    return style == PathStyle::Windows ? '\\' : '/';
}

bool EndsWithJoinSeparator(std::string_view path, PathStyle style) {
    return !path.empty() && path.back() == JoinSeparator(style);
}

namespace {

// Position of the last separator, or npos.
std::size_t LastSeparator(std::string_view path, PathStyle style) {
    // (IsPathSeparator's characters; a plan asks this several times a job)
    return style == PathStyle::Windows ? path.find_last_of("\\:") : path.rfind('/');
}

}  // namespace

std::string_view FileNameOf(std::string_view path, PathStyle style) {
    const std::size_t sep = LastSeparator(path, style);
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string BaseNameOf(std::string_view path, PathStyle style) {
    std::string_view withoutExtension = path;
    for (std::size_t i = path.size(); i > 0; --i) {
        const char c = path[i - 1];
        if (c == '.') {
            withoutExtension = path.substr(0, i - 1);
            break;
        }
        if (IsPathSeparator(c, style)) {
            break;
        }
    }
    return std::string(FileNameOf(withoutExtension, style));
}

std::string FolderOf(std::string_view path, PathStyle style) {
    const std::size_t sep = LastSeparator(path, style);
    if (sep == std::string_view::npos) {
        return {};
    }
    std::string_view folder = path.substr(0, sep);
    // A root keeps its separator: "/" for POSIX, "C:\" (or a bare "\") for Windows.
    const bool isRoot = style == PathStyle::Posix
                            ? folder.empty()
                            : folder.empty() || (folder.size() == 2 && folder[1] == ':');
    if (isRoot) {
        folder = path.substr(0, sep + 1);
    }
    return std::string(folder);
}

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
    std::string joined(folder);
    if (!EndsWithJoinSeparator(folder, style)) {
        joined += JoinSeparator(style);
    }
    joined += name;
    return joined;
}

}  // namespace palomix
