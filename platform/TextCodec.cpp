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

// Length of the well-formed UTF-8 character at the start of bytes, or 0 when the bytes there
// are not one (overlong forms, surrogates, values above U+10FFFF, truncated sequences).
std::size_t Utf8CharacterLength(std::string_view bytes) {
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

// UTF-8 with every ill-formed byte replaced by U+FFFD.
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

}  // namespace

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

std::string DecodeText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        // The mark says UTF-8: a stray bad byte in such a file is a damaged character, not a
        // sign of Shift-JIS, so it alone is replaced.
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
        return IsValidUtf8(bytes) ? std::string(bytes) : RepairUtf8(bytes);
    }
    if (IsValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return Cp932ToUtf8(bytes);
}

}  // namespace palomix
