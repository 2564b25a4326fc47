// JSON text for what palomix-batch prints for scripts. JSON strings are Unicode, but a file
// name on Linux is any bytes: text that is valid UTF-8 is written as it is (with the escapes
// JSON requires), and each byte that is not part of valid UTF-8 is written as the escape
// \udcXX, XX being the byte's value (80 to FF). That is the lone low surrogate U+DC80 + (byte
// - 0x80), which no valid UTF-8 text holds, so the bytes come back exactly: Python's
// json.loads followed by os.fsencode (the "surrogateescape" error handler) restores them.
// Strict JSON readers that insist on Unicode show such a character as U+FFFD instead.
// Control characters (C0, DEL and C1) are always escaped, so that JSON text shown on a
// terminal cannot act on it; a reader gets the same characters back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace palomix {

// `bytes` as a JSON string, quotes included.
std::string JsonString(std::string_view bytes);

// The texts as a JSON array of strings.
std::string JsonStringArray(const std::vector<std::string>& texts);

}  // namespace palomix
