// The one way out to a person's terminal. File names, the texts of settings files, option
// values and converters' output come from outside and may hold control characters and escape
// sequences (ESC [ ... for colours and the cursor, ESC ] ... to retitle the window or write to
// the clipboard, a carriage return or a line end to fake a line of their own). Every line
// palomix-batch writes for a person is made by PrintableLine, or its pieces by PrintableText,
// so that such a text shows as harmless characters instead of acting on the terminal.
#pragma once

#include <string>
#include <string_view>

namespace palomix {

// The text with every control character but a tab made '?': C0 (line ends and ESC included),
// DEL, and C1 (U+0080 to U+009F written in UTF-8, and the bytes 0x80 to 0x9F that are not part
// of a UTF-8 character, which an 8-bit terminal reads as controls). What follows an ESC stays
// as the visible text it is ("?[31m"). Everything else is kept, bytes that are not UTF-8
// included. Cleaning a cleaned text changes nothing.
std::string PrintableText(std::string_view text);

// One line for a person: the text cleaned as a whole, then ended by '\n'.
std::string PrintableLine(std::string_view text);

}  // namespace palomix
