#include "platform/UserFolders.h"

namespace palomix {

namespace {

constexpr std::string_view kVideosKey = "XDG_VIDEOS_DIR";
constexpr std::string_view kHomeVariable = "$HOME";

// The value of one line `XDG_VIDEOS_DIR="..."`, unquoted and unescaped; nullopt for any other
// line.
std::optional<std::string> QuotedValue(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    if (!line.starts_with(kVideosKey)) {
        return std::nullopt;
    }
    line.remove_prefix(kVideosKey.size());
    if (!line.starts_with("=\"")) {
        return std::nullopt;
    }
    line.remove_prefix(2);
    std::string value;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            return value;
        }
        if (c == '\\' && i + 1 < line.size()) {
            ++i;
        }
        value += line[i];
    }
    return std::nullopt;  // no closing quote
}

}  // namespace

std::optional<std::string> VideosFolderOfUserDirs(std::string_view fileText,
                                                  std::string_view home) {
    std::optional<std::string> found;
    while (!fileText.empty()) {
        const std::size_t end = fileText.find('\n');
        std::string_view line = fileText.substr(0, end);
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::optional<std::string> value = QuotedValue(line);
        if (!value) {
            continue;
        }
        if (value->starts_with(kHomeVariable) &&
            (value->size() == kHomeVariable.size() || (*value)[kHomeVariable.size()] == '/')) {
            if (home.empty()) {
                continue;
            }
            std::string rest = value->substr(kHomeVariable.size());
            found = std::string(home) + rest;
            while (found->size() > 1 && found->back() == '/') {
                found->pop_back();
            }
        } else if (value->starts_with('/')) {
            found = std::move(*value);
        }
    }
    return found;
}

}  // namespace palomix
