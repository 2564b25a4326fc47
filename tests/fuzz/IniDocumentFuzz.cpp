// Any bytes read as a settings file: DecodeText, then IniDocument::Parse. Every value found for
// a section and key named in the text obeys the reading rules' limits, and names match
// ignoring ASCII case.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/TextCodec.h"
#include "settings/IniFile.h"

namespace {

using palomix::IniDocument;

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Section and key names as the text gives them, in the order of their lines: the names to ask
// the document for (at most 64, so that a long input stays quick).
std::vector<std::pair<std::string, std::string>> NamesIn(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    std::size_t start = 0;
    while (start < text.size() && names.size() < 64) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string line = Trimmed(text.substr(start, end - start));
        if (!line.empty() && line.front() == '[' && line.find(']') != std::string::npos) {
            section = Trimmed(std::string_view(line).substr(1, line.rfind(']') - 1));
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos) {
            names.emplace_back(section, Trimmed(std::string_view(line).substr(0, eq)));
        }
        start = end + 1;
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text =
        palomix::DecodeText(std::string_view(reinterpret_cast<const char*>(data), size));
    const IniDocument document = IniDocument::Parse(text);
    for (const auto& [section, key] : NamesIn(text)) {
        const std::optional<std::string> value = document.Find(section, key);
        if (value) {
            PALOMIX_FUZZ_CHECK(value->size() <= palomix::kMaxIniValueBytes);
            PALOMIX_FUZZ_CHECK(value->find_first_of("\r\n") == std::string::npos);
            PALOMIX_FUZZ_CHECK(palomix::fuzz::IsWellFormedUtf8(*value));
        }
        PALOMIX_FUZZ_CHECK(document.Find(Upper(section), Upper(key)) == value);
        PALOMIX_FUZZ_CHECK(document.ReadString(section, key, "\x01") == value.value_or("\x01"));
    }
    return 0;
}
