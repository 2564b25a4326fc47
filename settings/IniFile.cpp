#include "settings/IniFile.h"

#include <chrono>
#include <limits>
#include <system_error>
#include <unordered_set>

#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kCrlf = "\r\n";

// A file stamped less than one tick of its file system's clock before it was read may change
// again without a new stamp. File systems that keep fractions of a second tick with the
// system's clock (a few milliseconds); times in whole seconds come from file systems that
// keep one or two seconds (FAT, older ones).
constexpr std::int64_t kFineUnsettledNs = 100'000'000;
constexpr std::int64_t kCoarseUnsettledNs = 2'000'000'000;

bool IsUnsettled(const FileStamp& stamp, std::int64_t readStartNs) {
    constexpr std::int64_t kSecondNs = 1'000'000'000;
    const bool coarse = stamp.modifiedNs % kSecondNs == 0;
    return stamp.LatestNs() > readStartNs - (coarse ? kCoarseUnsettledNs : kFineUnsettledNs);
}

// Past this many cached files the cache starts over, so a long session that reads ever new
// paths does not grow without bound.
constexpr std::size_t kMaxCachedFiles = 4096;

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return text.substr(text.size());  // empty, but still pointing into text
    }
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void AppendLower(std::string& out, std::string_view text) {
    for (const char c : text) {
        out += LowerAscii(c);
    }
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// The section name when the line is a section header.
std::optional<std::string_view> SectionHeaderName(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (!trimmed.starts_with('[')) {
        return std::nullopt;
    }
    const auto close = trimmed.rfind(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(trimmed.substr(1, close - 1));
}

// A value as read, before the cut: trimmed, and one outer pair of equal quotes removed.
std::string_view UnquotedValue(std::string_view raw) {
    std::string_view value = Trim(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

// The cut to kMaxIniValueBytes, moved back to the start of a UTF-8 character it would split.
std::string_view CutValue(std::string_view value) {
    if (value.size() <= kMaxIniValueBytes) {
        return value;
    }
    std::size_t length = kMaxIniValueBytes;
    // value[length] is the first byte left out: while it continues a character, that
    // character started inside the kept part. A character has at most three continuation
    // bytes, which bounds the walk back even in text that is not UTF-8.
    for (int step = 0; step < 3 && length > 0; ++step) {
        if ((static_cast<unsigned char>(value[length]) & 0xC0) != 0x80) {
            break;
        }
        --length;
    }
    if ((static_cast<unsigned char>(value[length]) & 0xC0) == 0x80) {
        length = kMaxIniValueBytes;  // not UTF-8 here: a plain byte cut
    }
    return value.substr(0, length);
}

// The joined lower-case name under which a key is indexed.
void MakeLookupName(std::string& out, std::string_view section, std::string_view key) {
    out.clear();
    out.reserve(section.size() + 1 + key.size());
    AppendLower(out, section);
    out += '\n';
    AppendLower(out, key);
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// --- reading ----------------------------------------------------------------------------

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    document.text_.assign(text);
    const std::string_view all = document.text_;
    document.values_.reserve(all.size() / 32 + 8);

    std::unordered_set<std::string> seenSections;
    std::string section;      // lower case
    bool collecting = false;  // inside the first section of its name
    std::string lookupName;
    std::size_t pos = 0;
    while (pos < all.size()) {
        std::size_t end = pos;
        while (end < all.size() && !IsLineBreak(all[end])) {
            ++end;
        }
        const std::string_view line = all.substr(pos, end - pos);
        pos = end;
        while (pos < all.size() && IsLineBreak(all[pos])) {
            ++pos;
        }

        if (const auto name = SectionHeaderName(line)) {
            section.clear();
            AppendLower(section, *name);
            collecting = seenSections.insert(section).second;
            continue;
        }
        if (!collecting) {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        lookupName = section;
        lookupName += '\n';
        AppendLower(lookupName, Trim(line.substr(0, equals)));
        const std::string_view value = CutValue(UnquotedValue(line.substr(equals + 1)));
        const auto offset = static_cast<std::size_t>(value.data() - all.data());
        document.values_.try_emplace(lookupName, Span{offset, value.size()});
    }
    return document;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const auto hasLineBreak = [](std::string_view name) {
        return name.find_first_of(kCrlf) != std::string_view::npos;
    };
    if (hasLineBreak(section) || hasLineBreak(key)) {
        return std::nullopt;
    }
    std::string lookupName;
    MakeLookupName(lookupName, section, key);
    const auto found = values_.find(lookupName);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return text_.substr(found->second.offset, found->second.length);
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    auto value = Find(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

std::optional<std::int32_t> ParseIniInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.starts_with('$')) {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit) {
            return std::nullopt;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

struct IniReader::Cache {
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const IniDocument> document;
        // The bytes the document was parsed from, kept while the file is unsettled (see
        // IsUnsettled): an equal stamp does not yet prove equal contents then.
        std::optional<std::string> unsettledBytes;
    };
    std::unordered_map<std::string, Entry> entries;
    const std::shared_ptr<const IniDocument> empty = std::make_shared<const IniDocument>();
};

IniReader::IniReader() : cache_(std::make_unique<Cache>()) {}

IniReader::~IniReader() = default;

std::shared_ptr<const IniDocument> IniReader::Document(const std::string& path) {
    std::shared_ptr<const IniDocument> document = TryDocument(path);
    return document ? document : cache_->empty;
}

std::shared_ptr<const IniDocument> IniReader::TryDocument(const std::string& path) {
    auto& entries = cache_->entries;
    const std::optional<FileStamp> stamp = StampOf(path);
    auto found = entries.find(path);
    if (!stamp) {
        if (found != entries.end()) {
            entries.erase(found);
        }
        return nullptr;
    }
    if (found != entries.end() && found->second.stamp == *stamp && !found->second.unsettledBytes) {
        return found->second.document;
    }

    const std::int64_t readStartNs = NowNs();
    std::optional<FileSnapshot> snapshot;
    try {
        snapshot = ReadFileSnapshot(path);
    } catch (const std::system_error&) {
        snapshot.reset();  // unreadable: reads as empty, like a missing file
    }
    if (!snapshot) {
        if (found != entries.end()) {
            entries.erase(found);
        }
        return nullptr;
    }

    std::shared_ptr<const IniDocument> document;
    if (found != entries.end() && found->second.unsettledBytes == snapshot->bytes) {
        document = found->second.document;
    } else {
        document =
            std::make_shared<const IniDocument>(IniDocument::Parse(DecodeText(snapshot->bytes)));
    }
    Cache::Entry entry{snapshot->stamp, document, std::nullopt};
    if (IsUnsettled(snapshot->stamp, readStartNs)) {
        entry.unsettledBytes = std::move(snapshot->bytes);
    }
    if (found == entries.end() && entries.size() >= kMaxCachedFiles) {
        entries.clear();
    }
    entries.insert_or_assign(path, std::move(entry));
    return document;
}

std::string IniReader::ReadString(const std::string& path, std::string_view section,
                                  std::string_view key, std::string_view defaultValue) {
    return Document(path)->ReadString(section, key, defaultValue);
}

std::int32_t IniReader::ReadInteger(const std::string& path, std::string_view section,
                                    std::string_view key, std::int32_t defaultValue) {
    const auto value = Document(path)->Find(section, key);
    if (!value) {
        return defaultValue;
    }
    return ParseIniInteger(*value).value_or(defaultValue);
}

// --- writing ----------------------------------------------------------------------------

namespace {

// One line of a text being edited: its content and the line end that follows it (CRLF, LF,
// CR, or nothing at the very end). Blank lines between two lines are lines of their own.
struct TextLine {
    std::string content;
    std::string end;
};

std::vector<TextLine> SplitLines(std::string_view text) {
    std::vector<TextLine> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsLineBreak(text[end])) {
            ++end;
        }
        std::size_t next = end;
        if (next < text.size()) {
            next +=
                (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
        }
        lines.push_back(
            {std::string(text.substr(pos, end - pos)), std::string(text.substr(end, next - end))});
        pos = next;
    }
    return lines;
}

// The line end for new lines: that of the text's first line, CRLF when it has none.
std::string LineEndOf(const std::vector<TextLine>& lines) {
    for (const TextLine& line : lines) {
        if (!line.end.empty()) {
            return line.end;
        }
    }
    return std::string(kCrlf);
}

bool IsBlankLine(const TextLine& line) {
    return Trim(line.content).empty();
}

// The value as written: inside double quotes when the reader would otherwise change it.
std::string EncodeValue(std::string_view value) {
    const bool blankAtEnd =
        !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos);
    if (blankAtEnd || UnquotedValue(value).size() != value.size()) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

// Why a write cannot be done, or nullopt when it can.
std::optional<std::string> InvalidWriteReason(
    std::string_view section, const std::vector<std::pair<std::string, std::string>>& keyValues) {
    const auto hasLineBreak = [](std::string_view text) {
        return text.find_first_of(kCrlf) != std::string_view::npos;
    };
    const auto quoted = [](std::string_view text) { return "\"" + std::string(text) + "\""; };
    if (hasLineBreak(section) || Trim(section) != section) {
        return "the section name " + quoted(section) + " has a line break or blanks at either end";
    }
    for (const auto& [key, value] : keyValues) {
        if (key.empty() || hasLineBreak(key) || Trim(key) != key ||
            key.find('=') != std::string::npos || key.starts_with('[')) {
            return "the key name " + quoted(key) + " in section " + quoted(section) +
                   " is not a valid key name";
        }
        if (hasLineBreak(value)) {
            return "the value of key " + quoted(key) + " in section " + quoted(section) +
                   " has a line break";
        }
    }
    return std::nullopt;
}

void ApplyOneWrite(std::vector<TextLine>& lines, std::string_view section, std::string_view key,
                   std::string_view value, const std::string& lineEnd) {
    std::size_t header = 0;
    while (header < lines.size()) {
        const auto name = SectionHeaderName(lines[header].content);
        if (name && EqualsIgnoringCase(*name, section)) {
            break;
        }
        ++header;
    }
    if (header == lines.size()) {
        if (!lines.empty() && lines.back().end.empty()) {
            lines.back().end = lineEnd;
        }
        lines.push_back({"[" + std::string(section) + "]", lineEnd});
        lines.push_back({std::string(key) + "=" + EncodeValue(value), lineEnd});
        return;
    }

    std::size_t lastNonBlank = header;
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        TextLine& line = lines[i];
        if (SectionHeaderName(line.content)) {
            break;
        }
        if (IsBlankLine(line)) {
            continue;
        }
        lastNonBlank = i;
        const auto equals = line.content.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string_view content = line.content;
        const std::string_view name = Trim(content.substr(0, equals));
        if (!EqualsIgnoringCase(name, key)) {
            continue;
        }
        if (UnquotedValue(content.substr(equals + 1)) != value) {
            line.content = std::string(name) + "=" + EncodeValue(value);
        }
        return;
    }
    TextLine& after = lines[lastNonBlank];
    if (after.end.empty()) {
        after.end = lineEnd;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastNonBlank) + 1,
                 {std::string(key) + "=" + EncodeValue(value), lineEnd});
}

}  // namespace

std::string ApplyIniWrites(std::string_view original, std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& keyValues) {
    if (const auto reason = InvalidWriteReason(section, keyValues)) {
        throw std::invalid_argument(*reason);
    }
    std::vector<TextLine> lines = SplitLines(original);
    const std::string lineEnd = LineEndOf(lines);
    for (const auto& [key, value] : keyValues) {
        ApplyOneWrite(lines, section, key, value, lineEnd);
    }
    std::string text;
    text.reserve(original.size() + 64 * keyValues.size());
    for (const TextLine& line : lines) {
        text += line.content;
        text += line.end;
    }
    return text;
}

IniWriteError::IniWriteError(const std::string& path, const std::string& reason)
    : std::runtime_error("cannot write the INI file \"" + path + "\": " + reason), path_(path) {}

void WriteIniStrings(const std::string& path, std::string_view section,
                     const std::vector<std::pair<std::string, std::string>>& keyValues) {
    if (keyValues.empty()) {
        return;
    }
    if (const auto reason = InvalidWriteReason(section, keyValues)) {
        throw IniWriteError(path, *reason);
    }
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const FileError& error) {
        throw IniWriteError(path, error.reason());
    } catch (const std::system_error& error) {
        throw IniWriteError(path, error.what());
    }
    const bool hasByteOrderMark = bytes && bytes->starts_with(kUtf8ByteOrderMark);
    const std::string text = bytes ? DecodeText(*bytes) : std::string();
    std::string updated = ApplyIniWrites(text, section, keyValues);
    if (hasByteOrderMark) {
        updated.insert(0, kUtf8ByteOrderMark);
    }
    try {
        WriteFileAtomically(path, updated);
    } catch (const FileError& error) {
        throw IniWriteError(path, error.reason());
    } catch (const std::system_error& error) {
        throw IniWriteError(path, error.what());
    }
}

}  // namespace palomix
