#include "cli/JsonText.h"

#include <cstdint>

namespace palomix {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendEscape(std::string& out, std::uint32_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kHex[(unit >> shift) & 0xF];
    }
}

// The length of the valid UTF-8 sequence at the start of `text` (RFC 3629: no overlong forms,
// no surrogates, nothing above U+10FFFF), or 0 when it does not start with one.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // overlong
        high = lead == 0xED ? 0x9F : 0xBF;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // overlong
        high = lead == 0xF4 ? 0x8F : 0xBF;  // above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 2);
    out += '"';
    while (!bytes.empty()) {
        const auto c = static_cast<unsigned char>(bytes.front());
        const std::size_t length = Utf8SequenceLength(bytes);
        if (length == 0) {
            AppendEscape(out, 0xDC00u + c);  // a byte that is not UTF-8 text
            bytes.remove_prefix(1);
            continue;
        }
        if (length > 1) {
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
        } else if (c < 0x20) {
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
