// Text of files read by the program. Inside the program every string is UTF-8; files that
// are not valid UTF-8 are older settings files in Shift-JIS (code page 932).
#pragma once

#include <string>
#include <string_view>

namespace palomix {

bool IsValidUtf8(std::string_view bytes);

// Shift-JIS (CP932) bytes to UTF-8 (iconv on POSIX, MultiByteToWideChar on Windows).
// Bytes that cannot be decoded become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// A file's bytes as UTF-8 text: a UTF-8 byte-order mark is dropped; valid UTF-8 is taken as
// it is; anything else is decoded from CP932.
std::string DecodeText(std::string_view bytes);

}  // namespace palomix
