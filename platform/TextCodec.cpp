#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace palomix {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// The code point of a well-formed UTF-8 character of the given length.
char32_t DecodeUtf8Character(std::string_view bytes, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(bytes[i]) & 0xFF; };
    switch (length) {
        case 1:
            return byte(0);
        case 2:
            return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
        case 3:
            return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
        default:
            return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
                   (byte(3) & 0x3F);
    }
}

void AppendUtf16Unit(std::string& out, char32_t unit, bool bigEndian) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::size_t Utf8CharacterLength(std::string_view bytes) {
    if (bytes.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char c = byte(0);
    if (c < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // allowed range of the second byte
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) {
            low = 0xA0;  // below: overlong
        } else if (c == 0xED) {
            high = 0x9F;  // above: UTF-16 surrogates
        }
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) {
            low = 0x90;  // below: overlong
        } else if (c == 0xF4) {
            high = 0x8F;  // above: beyond U+10FFFF
        }
    } else {
        return 0;  // continuation byte, C0/C1 (overlong) or F5..FF
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(byte(i))) {
            return 0;
        }
    }
    return length;
}

std::string RepairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = Utf8CharacterLength(bytes);
        if (length == 0) {
            out += kReplacementCharacter;
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

TextForm DetectTextForm(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        return TextForm::Utf8Marked;
    }
    if (bytes.starts_with(kUtf16LeByteOrderMark)) {
        return TextForm::Utf16Le;
    }
    if (bytes.starts_with(kUtf16BeByteOrderMark)) {
        return TextForm::Utf16Be;
    }
    return TextForm::Unmarked;
}

std::string_view ByteOrderMarkOf(TextForm form) {
    switch (form) {
        case TextForm::Utf8Marked:
            return kUtf8ByteOrderMark;
        case TextForm::Utf16Le:
            return kUtf16LeByteOrderMark;
        case TextForm::Utf16Be:
            return kUtf16BeByteOrderMark;
        case TextForm::Unmarked:
            break;
    }
    return {};
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    const auto unitAt = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<char32_t>(static_cast<unsigned char>(bytes[i]));
        const auto second = static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 1]));
        return bigEndian ? (first << 8) | second : (second << 8) | first;
    };
    const auto isHigh = [](char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    const auto isLow = [](char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    for (; i + 2 <= bytes.size(); i += 2) {
        const char32_t unit = unitAt(i);
        if (isHigh(unit) && i + 4 <= bytes.size() && isLow(unitAt(i + 2))) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00));
            i += 2;
        } else if (isHigh(unit) || isLow(unit)) {
            out += kReplacementCharacter;
        } else {
            AppendUtf8(out, unit);
        }
    }
    if (i < bytes.size()) {
        out += kReplacementCharacter;  // half a unit at the end
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
    std::string out;
    out.reserve(text.size() * 2);
    while (!text.empty()) {
        const std::size_t length = Utf8CharacterLength(text);
        const char32_t code = length == 0 ? 0xFFFD : DecodeUtf8Character(text, length);
        text.remove_prefix(length == 0 ? 1 : length);
        if (code >= 0x10000) {
            AppendUtf16Unit(out, 0xD800 + ((code - 0x10000) >> 10), bigEndian);
            AppendUtf16Unit(out, 0xDC00 + ((code - 0x10000) & 0x3FF), bigEndian);
        } else {
            AppendUtf16Unit(out, code, bigEndian);
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        // Plain ASCII is by far the most common text: step over it eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t block = 0;
            std::memcpy(&block, bytes.data() + i, sizeof block);
            if ((block & 0x8080808080808080ULL) != 0) {
                break;
            }
            i += 8;
        }
        if (i >= n) {
            break;
        }
        const std::size_t length = Utf8CharacterLength(bytes.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::size_t Cp932CharacterLength(std::string_view bytes) {
    if (bytes.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (!isLead || bytes.size() < 2) {
        return 1;
    }
    const auto trail = static_cast<unsigned char>(bytes[1]);
    const bool isTrail = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
    return isTrail ? 2 : 1;
}

DecodedLine DecodeLine(std::string_view bytes, TextForm form) {
    if (IsValidUtf8(bytes)) {
        return {std::string(bytes), LineEncoding::Utf8};
    }
    if (form == TextForm::Utf8Marked) {
        // The mark says UTF-8: a stray bad byte in such a file is a damaged character, not a
        // sign of Shift-JIS, so it alone is replaced.
        return {RepairUtf8(bytes), LineEncoding::Utf8};
    }
    return {Cp932ToUtf8(bytes), LineEncoding::ShiftJis};
}

std::string DecodeText(std::string_view bytes) {
    const TextForm form = DetectTextForm(bytes);
    bytes.remove_prefix(ByteOrderMarkOf(form).size());
    if (form == TextForm::Utf16Le || form == TextForm::Utf16Be) {
        return Utf16ToUtf8(bytes, form == TextForm::Utf16Be);
    }
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    while (!bytes.empty()) {
        std::size_t end = 0;
        while (end < bytes.size() && !IsLineBreak(bytes[end])) {
            ++end;
        }
        out += DecodeLine(bytes.substr(0, end), form).text;
        bytes.remove_prefix(end);
        while (!bytes.empty() && IsLineBreak(bytes.front())) {
            out += bytes.front();
            bytes.remove_prefix(1);
        }
    }
    return out;
}

}  // namespace palomix
