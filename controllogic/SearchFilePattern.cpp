#include "controllogic/SearchFilePattern.h"

#include "controllogic/CaseFold.h"

#include <cstddef>

namespace palomix {

namespace {

// Wildcard codes, outside the range of characters.
constexpr char32_t kStar = 0x110000;     // any run of characters
constexpr char32_t kDosStar = 0x110001;  // any run that does not take the name's last dot
constexpr char32_t kDosQm = 0x110002;    // one character, or nothing at a dot or the end
constexpr char32_t kDosDot = 0x110003;   // a dot, or nothing at the end of the name
// A byte that is not part of valid UTF-8 becomes a code of its own, so it matches itself.
constexpr char32_t kRawByte = 0x110100;

// Where the last full stop of a name stands; its length when it has none.
std::size_t LastDot(const std::vector<char32_t>& name) {
    for (std::size_t j = name.size(); j > 0; --j) {
        if (name[j - 1] == U'.') {
            return j - 1;
        }
    }
    return name.size();
}

// UTF-8 to code points, folded. Invalid bytes become kRawByte + byte.
void Decode(std::string_view text, std::vector<char32_t>& out) {
    out.clear();
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = byteAt(i);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        }
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = byteAt(i + k);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(kRawByte + lead);
            ++i;
            continue;
        }
        out.push_back(FoldCharacter(code));
        i += length;
    }
}

}  // namespace

SearchFilePattern::SearchFilePattern(std::string_view pattern) {
    if (pattern == "*" || pattern == "*.*") {
        matchesAll_ = true;
        pattern_.push_back(kStar);
        return;
    }
    std::vector<char32_t> raw;
    Decode(pattern, raw);
    // The translation the Windows find applies before matching.
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char32_t c = raw[i];
        const char32_t next = i + 1 < raw.size() ? raw[i + 1] : 0;
        if (c == U'?') {
            pattern_.push_back(kDosQm);
        } else if (c == U'*') {
            pattern_.push_back(next == U'.' ? kDosStar : kStar);
        } else if (c == U'.' && (next == U'?' || next == U'*' || i + 1 == raw.size())) {
            pattern_.push_back(kDosDot);
        } else {
            pattern_.push_back(c);
        }
    }
}

bool SearchFilePattern::Matches(std::string_view name) const {
    if (matchesAll_) {
        return true;
    }
    Decode(name, name_);
    const std::size_t p = pattern_.size();
    const std::size_t n = name_.size();
    const std::size_t lastDot = LastDot(name_);

    // table[i * (n + 1) + j]: pattern from i matches name from j.
    table_.assign((p + 1) * (n + 1), 0);
    const auto at = [&](std::size_t i, std::size_t j) -> unsigned char& {
        return table_[i * (n + 1) + j];
    };
    at(p, n) = 1;
    for (std::size_t i = p; i-- > 0;) {
        const char32_t c = pattern_[i];
        for (std::size_t j = n + 1; j-- > 0;) {
            const bool atEnd = j == n;
            bool match = false;
            switch (c) {
                case kStar:
                    match = at(i + 1, j) != 0 || (!atEnd && at(i, j + 1) != 0);
                    break;
                case kDosStar:
                    match = at(i + 1, j) != 0 || (!atEnd && j != lastDot && at(i, j + 1) != 0);
                    break;
                case kDosQm:
                    match = atEnd || name_[j] == U'.' ? at(i + 1, j) != 0 : at(i + 1, j + 1) != 0;
                    break;
                case kDosDot:
                    match = atEnd ? at(i + 1, j) != 0 : name_[j] == U'.' && at(i + 1, j + 1) != 0;
                    break;
                default:
                    match = !atEnd && name_[j] == c && at(i + 1, j + 1) != 0;
                    break;
            }
            at(i, j) = match ? 1 : 0;
        }
    }
    return at(0, 0) != 0;
}

}  // namespace palomix
