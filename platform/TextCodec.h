// Text of files read by the program. Inside the program every string is UTF-8; files that
// are not valid UTF-8 are older settings files in Shift-JIS (code page 932).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace palomix {

// The three bytes that some editors put at the start of a UTF-8 file.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// True for well-formed UTF-8 only: no overlong forms, no surrogates, nothing above U+10FFFF,
// no truncated character.
bool IsValidUtf8(std::string_view bytes);

// Shift-JIS (CP932) bytes to UTF-8 (iconv on POSIX, MultiByteToWideChar on Windows).
// Bytes that cannot be decoded become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Length of the CP932 character at the start of bytes: 2 for a lead byte (0x81-0x9F,
// 0xE0-0xFC) followed by a byte of the trail range (0x40-0x7E, 0x80-0xFC), otherwise 1.
// 0 for no bytes. Decoders step over an undecodable character by this length.
std::size_t Cp932CharacterLength(std::string_view bytes);

// A file's bytes as UTF-8 text: a UTF-8 byte-order mark is dropped; valid UTF-8 is taken as
// it is; anything else is decoded from CP932. After a byte-order mark the text is UTF-8 in
// any case, and its ill-formed bytes become U+FFFD.
std::string DecodeText(std::string_view bytes);

}  // namespace palomix
