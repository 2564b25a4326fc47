#include "cli/PrintableText.h"

#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr char kShownInstead = '?';

bool IsControl(unsigned char byte) {
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
}

// A UTF-8 character from U+0080 to U+009F: 0xC2 followed by 0x80 to 0x9F.
bool IsC1Character(std::string_view character) {
    return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC2 &&
           static_cast<unsigned char>(character[1]) <= 0x9F;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        const std::size_t length = Utf8CharacterLength(text);
        if (length == 0) {
            // A byte that is not part of a UTF-8 character: kept unless an 8-bit terminal
            // would take it for a control.
            shown += byte >= 0x80 && byte <= 0x9F ? kShownInstead : text.front();
            text.remove_prefix(1);
            continue;
        }
        const std::string_view character = text.substr(0, length);
        if (IsC1Character(character) || (length == 1 && IsControl(byte))) {
            shown += kShownInstead;
        } else {
            shown += character;
        }
        text.remove_prefix(length);
    }
    return shown;
}

std::string PrintableLine(std::string_view text) {
    return PrintableText(text) + '\n';
}

}  // namespace palomix
