#include "platform/LogTail.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace palomix {

namespace {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Splits text into lines as LastLines counts them; the last line ends at the end of the text.
std::vector<std::string> SplitLines(std::string_view text, std::size_t count) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size() && lines.size() < count) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

}  // namespace

std::vector<std::string> FirstLines(const std::string& path, std::size_t count, bool& whole,
                                    std::size_t maxBytes) {
    whole = false;
    const std::filesystem::path filePath = PathFromUtf8(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath, error)) {
        return {};
    }
    std::ifstream file(filePath, std::ios::binary);
    std::string text(maxBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    const bool all = text.size() <= maxBytes;
    text.resize(std::min(text.size(), maxBytes));
    std::vector<std::string> lines = SplitLines(text, count + 1);
    whole = all && lines.size() <= count;
    if (lines.size() > count) {
        lines.resize(count);
    }
    return lines;
}

std::vector<std::string> LastLines(const std::string& path, std::size_t count,
                                   std::size_t maxBytes) {
    if (count == 0 || maxBytes == 0) {
        return {};
    }
    const std::filesystem::path filePath = PathFromUtf8(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(filePath, error)) {
        return {};
    }
    std::ifstream file(filePath, std::ios::binary | std::ios::ate);
    if (!file) {
        return {};
    }
    const std::streamoff size = file.tellg();
    if (size <= 0) {
        return {};
    }
    const std::streamoff start =
        std::max<std::streamoff>(0, size - static_cast<std::streamoff>(maxBytes));
    std::string text(static_cast<std::size_t>(size - start), '\0');
    file.seekg(start);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.empty()) {
        return {};
    }
    if (start > 0) {
        // A cut line starts at a whole character.
        const auto whole = std::find_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        });
        text.erase(text.begin(), whole);
    }

    // Walk back from the end, one line at a time.
    std::vector<std::string> lines;
    std::size_t end = text.size();
    if (end > 0 && text[end - 1] == '\n') {
        --end;
    }
    if (end > 0 && text[end - 1] == '\r') {
        --end;
    }
    while (lines.size() < count) {
        std::size_t begin = end;
        while (begin > 0 && text[begin - 1] != '\n' && text[begin - 1] != '\r') {
            --begin;
        }
        lines.emplace_back(text, begin, end - begin);
        if (begin == 0) {
            break;
        }
        end = begin - 1;
        if (text[end] == '\n' && end > 0 && text[end - 1] == '\r') {
            --end;
        }
    }
    std::reverse(lines.begin(), lines.end());
    return lines;
}

}  // namespace palomix
