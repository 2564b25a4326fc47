#include "controllogic/CaseFold.h"

namespace palomix {

namespace {

// Latin Extended-A (U+0100 to U+017F) holds its letters in pairs, upper then lower.
char32_t FoldLatinExtendedA(char32_t c) {
    const bool oddIsLower = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
    const bool evenIsLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (oddIsLower && (c & 1) != 0) || (evenIsLower && (c & 1) == 0) ? c - 1 : c;
}

// Greek and Cyrillic small letters; the final sigma is a sigma.
char32_t FoldGreekAndCyrillic(char32_t c) {
    if (c >= 0x3B1 && c <= 0x3C9) {
        return c == 0x3C2 ? 0x3A3 : c - 0x20;
    }
    if (c >= 0x430 && c <= 0x44F) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    return c;
}

}  // namespace

char32_t FoldCharacter(char32_t c) {
    if (c >= U'a' && c <= U'z') {
        return c - 0x20;
    }
    if (c < 0xE0) {
        return c;
    }
    if (c <= 0xFE) {
        return c == 0xF7 ? c : c - 0x20;  // Latin-1 letters, not the division sign
    }
    if (c >= 0x100 && c <= 0x17F) {
        return FoldLatinExtendedA(c);
    }
    if (c >= 0xFF41 && c <= 0xFF5A) {  // full-width Latin small letters
        return c - 0x20;
    }
    return FoldGreekAndCyrillic(c);
}

namespace {

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

// The length of the well-formed UTF-8 sequence at `at` and its code point; 0 when there is none.
std::size_t Sequence(std::string_view text, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    }
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(at + k) & 0x3F);
    }
    return length;
}

}  // namespace

void FoldCase(std::string_view text, std::string& out) {
    // Plain ASCII, by far the most common, in one pass.
    out.assign(text);
    std::size_t i = 0;
    for (; i < out.size(); ++i) {
        const auto byte = static_cast<unsigned char>(out[i]);
        if (byte >= 0x80) {
            break;
        }
        if (byte >= 'a' && byte <= 'z') {
            out[i] = static_cast<char>(byte - 0x20);
        }
    }
    if (i == out.size()) {
        return;
    }
    out.resize(i);
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += lead >= 'a' && lead <= 'z' ? static_cast<char>(lead - 0x20) : text[i];
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = Sequence(text, i, code);
        if (length == 0) {
            out += text[i];  // a byte of no character stays as it is
            ++i;
            continue;
        }
        AppendUtf8(out, FoldCharacter(code));
        i += length;
    }
}

}  // namespace palomix
