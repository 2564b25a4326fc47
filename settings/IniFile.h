// INI files: the reading rules shared by every INI file of the program (conversion
// settings files and the state file), and a writer that changes only the keys it writes.
//
// Reading rules: any run of CR and LF ends a line; blanks are space, tab, vertical tab, form
// feed and ^Z (0x1A, the end-of-file mark of old DOS editors); a line trimmed of blanks that
// starts with '[' and has a ']' opens a section named by the trimmed text up to the last ']'
// (text after it is ignored); a key line splits at its first '=' and its key is the trimmed
// text before it; lines before the first section belong to none and cannot be found; ';' and
// '#' mean nothing special; section and key names match ignoring ASCII case; the first
// section of a name and the first key of a name in it count; the value is trimmed, loses one
// outer pair of equal quote characters (" or ') when it is at least two characters long, and
// is cut to kMaxIniValueBytes.
//
// The cut counts the value as the file holds it: bytes of UTF-8 or Shift-JIS, whichever the
// line is in, or, in a UTF-16 file, UTF-16 units (one per character, two for a character
// beyond U+FFFF), as a wide-character reader with a buffer of 2,048 units keeps them. It
// never splits a character of that encoding. A cut value is told apart from a whole one by
// IniValue::cut.
//
// Files are read in the forms of TextCodec.h: UTF-16 with a byte-order mark (either byte
// order), UTF-8 with a byte-order mark, or unmarked, where each line is UTF-8 when it is
// well-formed UTF-8 and Shift-JIS otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"

namespace palomix {

inline constexpr std::size_t kMaxIniValueBytes = 2047;

// A value as read, and whether it was cut: a cut value is only the first kMaxIniValueBytes of
// what the file holds, and must not be used as if it were whole (a command line, a folder).
struct IniValue {
    std::string text;
    bool cut = false;

    friend bool operator==(const IniValue&, const IniValue&) = default;
};

// A parsed INI text. The names are folded to lower case and indexed once, when the
// text is parsed, so a lookup costs one hash look-up whatever the size of the file.
class IniDocument {
public:
    IniDocument() = default;

    // UTF-8 text; values are counted in its bytes.
    static IniDocument Parse(std::string_view text);

    // The bytes of a file, in any of the forms the reading rules name.
    static IniDocument ParseFile(std::string_view bytes);

    // The value of a key as the reading rules give it, cut or whole; nullopt when the section
    // or key is missing or the key line has no '='. Lines without '=' are not keys at all:
    // they do not hide a later line of the same name that has one.
    std::optional<IniValue> FindValue(std::string_view section, std::string_view key) const;

    // FindValue's text, cut or not.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

private:
    class Parser;

    // Where a value stands in text_, and whether it was cut.
    struct Span {
        std::size_t offset = 0;
        std::size_t length = 0;
        bool cut = false;
    };
    // The values, as UTF-8, one after another.
    std::string text_;
    // "section\nkey", both in lower case, to the first value of that key in the first
    // section of that name. No name can hold a line break, so the join is unambiguous.
    std::unordered_map<std::string, Span> values_;
};

// Integers of the state file: optional sign ('+' or '-'), then decimal digits, or hexadecimal
// digits after "0x", "0X" or "$" (the sign goes before the prefix: "-0x10" is -16). The
// value must fit in 32 bits with its sign ("-0x80000000" does, "0xFFFFFFFF" does not).
// Anything else, the empty text, blanks and trailing characters included, is nullopt.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

// Where an IniReader finds files and the time: the file system and the system clock, or a
// test's stand-ins.
struct IniFileAccess {
    std::function<std::optional<FileStamp>(const std::string& path)> stampOf;
    std::function<std::optional<FileSnapshot>(const std::string& path)> readSnapshot;
    // Nanoseconds since 1970-01-01 UTC, as FileStamp times count.
    std::function<std::int64_t()> nowNs;

    static IniFileAccess System();
};

// Reads INI files by path. A parsed file is kept and reused only while the file's stamp (size,
// modification and change times in nanoseconds, inode) is the one it was read with, so an
// edit is always seen by the next read. A file touched less than one tick of its file
// system's clock before it was read could change again without a new stamp (an in-place
// save of the same size, on a file system whose times are coarse, as FAT's 2 s or the 10 to
// 16 ms of a clock tick): until it has been still for that long (100 ms, or 2 s when its
// times are whole seconds), each read compares its bytes again and parses it anew when they
// differ. One reader serves one thread.
class IniReader {
public:
    IniReader();
    explicit IniReader(IniFileAccess access);
    ~IniReader();
    IniReader(const IniReader&) = delete;
    IniReader& operator=(const IniReader&) = delete;

    // A missing or unreadable file reads as empty: every key gives the default.
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view defaultValue = {});

    // ParseIniInteger of the value; the default when absent or not an integer.
    std::int32_t ReadInteger(const std::string& path, std::string_view section,
                             std::string_view key, std::int32_t defaultValue);

    // The parsed document, shared with later reads while the file is unchanged. A missing or
    // unreadable file gives an empty document.
    std::shared_ptr<const IniDocument> Document(const std::string& path);
    // The same, but nullptr when the file is missing or cannot be read.
    std::shared_ptr<const IniDocument> TryDocument(const std::string& path);

private:
    struct Cache;
    IniFileAccess access_;
    std::unique_ptr<Cache> cache_;
};

// Raised when an INI file cannot be written; what() names the file and gives the reason. The
// file is then as it was before.
class IniWriteError : public std::runtime_error {
public:
    IniWriteError(const std::string& path, const std::string& reason);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes keys into one section of an INI file, in order, as ApplyIniWrites does, and returns
// the keys whose values were written whole but are too long to be read back whole (they read
// back cut, IniValue::cut set). A missing file is created (its folder is not) in UTF-8
// without a byte-order mark. In an existing file the lines that are not rewritten keep their
// bytes as they were, whatever their encoding; rewritten and new lines are written in the
// file's form: UTF-16 in a UTF-16 file (the byte-order mark kept), UTF-8 otherwise (which
// the reading rules read back line by line even in a Shift-JIS file). The file is replaced
// atomically (temporary file in the same folder, flushed, renamed over the old one), so a
// failure leaves the old file whole. A file that exists but cannot be read is not written,
// and names or values that ApplyIniWrites refuses are reported before the file is touched.
// With no keys, nothing is done. Throws IniWriteError.
std::vector<std::string> WriteIniStrings(
    const std::string& path, std::string_view section,
    const std::vector<std::pair<std::string, std::string>>& keyValues);

inline void WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value) {
    WriteIniStrings(path, section, {{std::string(key), std::string(value)}});
}

// The edit itself, on text: the new file contents. For each key in turn:
// - in the first section of that name (ASCII case ignored), the first line that gives the
//   key a value is the key's line. If it already reads as the value, it stays as it is;
//   otherwise it becomes "key=value" with the key spelt as in the file, keeping its own line
//   end;
// - a key not in the section goes on a new line after the section's last non-blank line
//   (so blank lines before the next section stay there);
// - a missing section is added at the end of the text as "[section]" and the key line;
// - every other byte of the text stays as it was. New lines end like the text's first line
//   (CRLF, LF or CR); a text without any line end gets CRLF, as INI files have on Windows.
// A value that the reading rules would change (blanks at either end, or an outer pair of
// equal quotes) is written inside double quotes, which the reader strips again, so every
// value reads back exactly (but for the cut of values beyond kMaxIniValueBytes).
// Throws std::invalid_argument for names and values that cannot be written as one line that
// reads back: text that is not well-formed UTF-8, a line break anywhere, a section or key
// name with blanks at either end, an empty key, a key containing '=' or starting with '['.
std::string ApplyIniWrites(std::string_view original, std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& keyValues);

}  // namespace palomix
