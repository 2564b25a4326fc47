// Item lines of the multi-column lists: one line per item, its fields written as comma
// text, normally each wrapped in double quotes ("Phone video","320x240","phone.ini").
//
// Lines are UTF-8. The quote, the comma and the blanks are ASCII, and no byte of a
// multi-byte UTF-8 character is below 0x80, so scanning bytes never takes part of a
// character for a quote, a comma or a blank.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace palomix {

// Splits a line into its fields:
// - characters with codes 1 to 32 (controls and the space) before a field are skipped;
// - a field that starts with a double quote runs to the next quote that is not doubled
//   (a doubled quote stands for one quote; commas and blanks inside belong to the field;
//   a quote that is never closed runs to the end of the line);
// - any other field runs up to the next comma or the next character of code 32 or less,
//   so an unquoted text with a space in it gives two fields;
// - after a field, blanks are skipped; a comma ends the field and blanks after it are
//   skipped; a comma at the very end gives one more, empty, field, and two commas in a row
//   give an empty field between them.
// A NUL character ends the line, as it ends the text of a list entry.
std::vector<std::string> SplitCommaText(std::string_view line);

// Field `index` of the line (from 0), or an empty text when the line has fewer fields.
std::string CommaTextField(std::string_view line, std::size_t index);

}  // namespace palomix
