#include "cli/JsonText.h"

#include <cstdint>

#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendEscape(std::string& out, std::uint32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(unit >> shift) & 0xF];
    }
}

}  // namespace

std::string JsonString(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    while (!bytes.empty()) {
        const auto c = static_cast<unsigned char>(bytes.front());
        const std::size_t length = Utf8CharacterLength(bytes);
        if (length == 0) {
            AppendEscape(out, 0xDC00u + c);  // a byte that is not UTF-8 text
            bytes.remove_prefix(1);
            continue;
        }
        if (length == 2 && c == 0xC2 && static_cast<unsigned char>(bytes[1]) <= 0x9F) {
            AppendEscape(out, static_cast<unsigned char>(bytes[1]));  // U+0080 to U+009F
        } else if (length > 1) {
            out += bytes.substr(0, length);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else {
            out += static_cast<char>(c);
        }
        bytes.remove_prefix(length);
    }
    out += '"';
    return out;
}

std::string JsonStringArray(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += JsonString(texts[i]);
    }
    out += ']';
    return out;
}

}  // namespace palomix
