// Text of files read by the program. Inside the program every string is UTF-8. Files come
// in three forms: UTF-16 with a byte-order mark (what Windows' Notepad calls "Unicode"),
// UTF-8 with a byte-order mark, and unmarked text, which is UTF-8 or, in older settings files,
// Shift-JIS (code page 932).
//
// Unmarked text is decided line by line: a line that is well-formed UTF-8 is UTF-8, any other
// line is Shift-JIS. One stray byte thus damages one line, not the whole file, and a file
// written in Shift-JIS as a whole still reads as Shift-JIS: Japanese text in Shift-JIS is not
// well-formed UTF-8, since kana, symbols and the common kanji all begin with bytes
// (0x81-0x9F) that cannot begin a UTF-8 character. Only a line whose every Shift-JIS
// character happens to make up UTF-8 (a few pairs of half-width katakana, some rare kanji)
// would be taken for UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace palomix {

// The three bytes that some editors put at the start of a UTF-8 file.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kUtf16LeByteOrderMark = "\xFF\xFE";
inline constexpr std::string_view kUtf16BeByteOrderMark = "\xFE\xFF";

// The form of a file's text, as its first bytes tell it.
enum class TextForm {
    Unmarked,    // no byte-order mark: each line UTF-8 when it is well-formed, else Shift-JIS
    Utf8Marked,  // UTF-8 byte-order mark: UTF-8 throughout, ill-formed bytes become U+FFFD
    Utf16Le,     // UTF-16, little-endian byte-order mark
    Utf16Be,     // UTF-16, big-endian byte-order mark
};

TextForm DetectTextForm(std::string_view bytes);

// The byte-order mark of a form; empty for Unmarked.
std::string_view ByteOrderMarkOf(TextForm form);

// The encoding one line of a file was read in.
enum class LineEncoding { Utf8, ShiftJis, Utf16 };

// True for well-formed UTF-8 only: no overlong forms, no surrogates, nothing above U+10FFFF,
// no truncated character.
bool IsValidUtf8(std::string_view bytes);

// Appends the UTF-8 bytes of a code point (below U+110000; surrogates are not refused).
void AppendUtf8(std::string& out, char32_t code);

// Length of the well-formed UTF-8 character at the start of bytes; 0 when the bytes there are
// not one (or there are none).
std::size_t Utf8CharacterLength(std::string_view bytes);

// UTF-8 with every ill-formed byte replaced by U+FFFD.
std::string RepairUtf8(std::string_view bytes);

// Shift-JIS (CP932) bytes to UTF-8 (iconv on POSIX, MultiByteToWideChar on Windows).
// Bytes that cannot be decoded become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// Length of the CP932 character at the start of bytes: 2 for a lead byte (0x81-0x9F,
// 0xE0-0xFC) followed by a byte of the trail range (0x40-0x7E, 0x80-0xFC), otherwise 1.
// 0 for no bytes. Decoders step over an undecodable character by this length.
std::size_t Cp932CharacterLength(std::string_view bytes);

// UTF-16 bytes (no byte-order mark) to UTF-8. An unpaired surrogate, or an odd byte at the
// end, becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// UTF-8 text to UTF-16 bytes (no byte-order mark). Ill-formed bytes become U+FFFD.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian);

// One line of an Unmarked or Utf8Marked file (its bytes without the line end) as UTF-8, and
// the encoding it was read in.
struct DecodedLine {
    std::string text;
    LineEncoding encoding = LineEncoding::Utf8;
};
DecodedLine DecodeLine(std::string_view bytes, TextForm form);

// A whole file's bytes as UTF-8 text: the byte-order mark is dropped, UTF-16 is decoded, and
// unmarked text is decoded line by line as DecodeLine does. Line ends stay as they are.
std::string DecodeText(std::string_view bytes);

}  // namespace palomix
