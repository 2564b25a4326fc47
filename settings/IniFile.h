// INI files: the reading rules shared by every INI file of the program (conversion
// settings files and the state file), and a writer that changes only the keys it writes.
//
// Reading rules: any run of CR and LF ends a line; a trimmed line that starts with '[' and
// has a ']' opens a section named by the trimmed text up to the last ']'; a key line splits
// at its first '='; section and key names match ignoring ASCII case; the first section of a
// name and the first key of a name in it count; the value is trimmed, loses one outer pair
// of equal quote characters (" or ') when it is at least two characters long, and is cut to
// kMaxIniValueBytes without splitting a UTF-8 character. Files are decoded with DecodeText.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace palomix {

inline constexpr std::size_t kMaxIniValueBytes = 2047;

// A parsed INI text (UTF-8). Lookups are cheap once parsed.
class IniDocument {
public:
    IniDocument() = default;
    static IniDocument Parse(std::string_view text);

    // The value of a key as the reading rules give it; nullopt when the section or key is
    // missing or the key line has no '='.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;

private:
    struct Key {
        std::string name;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    std::vector<Section> sections_;
};

// Integers of the state file: optional sign, then decimal digits, or hexadecimal digits after
// "0x" or "$". Anything else, the empty text included, is nullopt.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

// Reads INI files by path. A parsed file is kept and reused only while the file's size and
// modification time are those it was read with, so an edit is always seen by the next read.
class IniReader {
public:
    IniReader();
    ~IniReader();
    IniReader(const IniReader&) = delete;
    IniReader& operator=(const IniReader&) = delete;

    // A missing or unreadable file reads as empty: every key gives the default.
    std::string ReadString(const std::string& path, std::string_view section,
                           std::string_view key, std::string_view defaultValue = {});

    // ParseIniInteger of the value; the default when absent or not an integer.
    std::int32_t ReadInteger(const std::string& path, std::string_view section,
                             std::string_view key, std::int32_t defaultValue);

    // The parsed document, shared with later reads while the file is unchanged.
    std::shared_ptr<const IniDocument> Document(const std::string& path);

private:
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

// Raised when an INI file cannot be written; what() names the file.
class IniWriteError : public std::runtime_error {
public:
    IniWriteError(const std::string& path, const std::string& reason);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes keys into one section of an INI file. A missing file is created. Every other line
// of the file stays byte for byte; a changed key's line is rewritten in place, a new key goes
// after the last line of its section, a new section at the end of the file. The file is
// replaced atomically (temporary file in the same folder, flushed, renamed over the old one),
// so a failure leaves the old file whole. Throws IniWriteError.
void WriteIniStrings(const std::string& path, std::string_view section,
                     const std::vector<std::pair<std::string, std::string>>& keyValues);

inline void WriteIniString(const std::string& path, std::string_view section,
                           std::string_view key, std::string_view value) {
    WriteIniStrings(path, section, {{std::string(key), std::string(value)}});
}

// The edit itself, on text: the new file contents. Exposed for tests.
std::string ApplyIniWrites(std::string_view original, std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& keyValues);

}  // namespace palomix
