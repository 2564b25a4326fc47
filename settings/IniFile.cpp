#include "settings/IniFile.h"

#include <chrono>
#include <limits>
#include <system_error>
#include <unordered_set>

#include "platform/TextCodec.h"

namespace palomix {

namespace {

// Blanks around names and values. ^Z is the end-of-file mark that old DOS editors put at
// the end of a file; vertical tab and form feed are blanks to the reader as well.
constexpr std::string_view kBlanks = " \t\v\f\x1A";
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

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Trimming works on bytes in every encoding: no blank byte is ever part of a UTF-8 or
// Shift-JIS character (Shift-JIS second bytes start at 0x40).
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

// Length of the character at the start of text in the line's encoding; at least 1 for any
// byte, so that a walk over bytes that are not that encoding still moves on.
std::size_t CharacterLength(std::string_view text, LineEncoding encoding) {
    const std::size_t length =
        encoding == LineEncoding::ShiftJis ? Cp932CharacterLength(text) : Utf8CharacterLength(text);
    return length == 0 ? 1 : length;
}

// The section name when the line is a section header. The closing ']' is the last one that
// is a character of its own: in Shift-JIS 0x5D is also the second byte of some characters.
std::optional<std::string_view> SectionHeaderName(std::string_view line, LineEncoding encoding) {
    const std::string_view trimmed = Trim(line);
    if (!trimmed.starts_with('[')) {
        return std::nullopt;
    }
    std::size_t close = std::string_view::npos;
    if (encoding == LineEncoding::ShiftJis) {
        for (std::size_t i = 0; i < trimmed.size();
             i += CharacterLength(trimmed.substr(i), encoding)) {
            if (trimmed[i] == ']') {
                close = i;
            }
        }
    } else {
        close = trimmed.rfind(']');
    }
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(trimmed.substr(1, close - 1));
}

std::optional<std::string_view> SectionHeaderName(std::string_view line) {
    return SectionHeaderName(line, LineEncoding::Utf8);
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

// How much of a value the cut keeps, in bytes of the line as it is held here: the longest
// run of whole characters that is at most kMaxIniValueBytes long in the line's encoding.
// UTF-16 lines are held as UTF-8 here and counted in UTF-16 units: one for each character
// up to U+FFFF (at most three UTF-8 bytes), two for the others (four UTF-8 bytes).
std::size_t KeptLength(std::string_view value, LineEncoding encoding) {
    if (value.size() <= kMaxIniValueBytes) {
        return value.size();  // no encoding counts a character in more units than bytes here
    }
    std::size_t kept = 0;
    std::size_t counted = 0;
    while (kept < value.size()) {
        const std::size_t length = CharacterLength(value.substr(kept), encoding);
        const std::size_t units = encoding == LineEncoding::Utf16 ? (length == 4 ? 2 : 1) : length;
        if (counted + units > kMaxIniValueBytes) {
            break;
        }
        counted += units;
        kept += length;
    }
    return kept;
}

// The joined lower-case name under which a key is indexed.
void MakeLookupName(std::string& out, std::string_view section, std::string_view key) {
    out.clear();
    out.reserve(section.size() + 1 + key.size());
    AppendLower(out, section);
    out += '\n';
    AppendLower(out, key);
}

std::int64_t SystemNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Calls f(line) for each line of text, without its line end.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsLineBreak(text[end])) {
            ++end;
        }
        f(text.substr(pos, end - pos));
        pos = end;
        while (pos < text.size() && IsLineBreak(text[pos])) {
            ++pos;
        }
    }
}

}  // namespace

// --- reading ----------------------------------------------------------------------------

// Builds a document line by line. Each line comes with the encoding it is held in: UTF-8
// (also for the lines of a UTF-16 file, which are decoded first) or the raw bytes of a
// Shift-JIS line, whose names and values are decoded one by one after the cut.
class IniDocument::Parser {
public:
    explicit Parser(IniDocument& document, std::size_t sizeHint) : document_(document) {
        document_.text_.reserve(sizeHint);
        document_.values_.reserve(sizeHint / 32 + 8);
    }

    void AddLine(std::string_view line, LineEncoding encoding) {
        if (const auto name = SectionHeaderName(line, encoding)) {
            section_.clear();
            AppendName(section_, *name, encoding);
            collecting_ = seenSections_.insert(section_).second;
            return;
        }
        if (!collecting_) {
            return;
        }
        const auto equals = line.find('=');  // '=' is never part of a Shift-JIS character
        if (equals == std::string_view::npos) {
            return;
        }
        lookupName_ = section_;
        lookupName_ += '\n';
        AppendName(lookupName_, Trim(line.substr(0, equals)), encoding);
        const auto [entry, isFirst] = document_.values_.try_emplace(lookupName_);
        if (!isFirst) {
            return;  // the first key of a name counts
        }
        const std::string_view value = UnquotedValue(line.substr(equals + 1));
        const std::size_t kept = KeptLength(value, encoding);
        std::string& text = document_.text_;
        Span& span = entry->second;
        span.offset = text.size();
        span.cut = kept < value.size();
        if (encoding == LineEncoding::ShiftJis && !IsAscii(value.substr(0, kept))) {
            text += Cp932ToUtf8(value.substr(0, kept));
        } else {
            text.append(value.substr(0, kept));
        }
        span.length = text.size() - span.offset;
    }

private:
    static void AppendName(std::string& out, std::string_view name, LineEncoding encoding) {
        if (encoding == LineEncoding::ShiftJis && !IsAscii(name)) {
            AppendLower(out, Cp932ToUtf8(name));
        } else {
            AppendLower(out, name);
        }
    }

    IniDocument& document_;
    std::unordered_set<std::string> seenSections_;
    std::string section_;      // lower case
    bool collecting_ = false;  // inside the first section of its name
    std::string lookupName_;
};

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    Parser parser(document, text.size());
    ForEachLine(text, [&](std::string_view line) { parser.AddLine(line, LineEncoding::Utf8); });
    return document;
}

IniDocument IniDocument::ParseFile(std::string_view bytes) {
    const TextForm form = DetectTextForm(bytes);
    bytes.remove_prefix(ByteOrderMarkOf(form).size());
    IniDocument document;
    Parser parser(document, bytes.size());
    if (form == TextForm::Utf16Le || form == TextForm::Utf16Be) {
        const std::string text = Utf16ToUtf8(bytes, form == TextForm::Utf16Be);
        ForEachLine(text,
                    [&](std::string_view line) { parser.AddLine(line, LineEncoding::Utf16); });
    } else if (IsValidUtf8(bytes)) {
        ForEachLine(bytes,
                    [&](std::string_view line) { parser.AddLine(line, LineEncoding::Utf8); });
    } else {
        ForEachLine(bytes, [&](std::string_view line) {
            if (IsValidUtf8(line)) {
                parser.AddLine(line, LineEncoding::Utf8);
            } else if (form == TextForm::Utf8Marked) {
                parser.AddLine(RepairUtf8(line), LineEncoding::Utf8);
            } else {
                parser.AddLine(line, LineEncoding::ShiftJis);
            }
        });
    }
    return document;
}

std::optional<IniValue> IniDocument::FindValue(std::string_view section,
                                               std::string_view key) const {
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
    const Span& span = found->second;
    return IniValue{text_.substr(span.offset, span.length), span.cut};
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    auto value = FindValue(section, key);
    if (!value) {
        return std::nullopt;
    }
    return std::move(value->text);
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

IniFileAccess IniFileAccess::System() {
    return {StampOf, ReadFileSnapshot, SystemNowNs};
}

IniReader::IniReader() : IniReader(IniFileAccess::System()) {}

IniReader::IniReader(IniFileAccess access)
    : access_(std::move(access)), cache_(std::make_unique<Cache>()) {}

IniReader::~IniReader() = default;

std::shared_ptr<const IniDocument> IniReader::Document(const std::string& path) {
    std::shared_ptr<const IniDocument> document = TryDocument(path);
    return document ? document : cache_->empty;
}

std::shared_ptr<const IniDocument> IniReader::TryDocument(const std::string& path) {
    auto& entries = cache_->entries;
    const std::optional<FileStamp> stamp = access_.stampOf(path);
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

    const std::int64_t readStartNs = access_.nowNs();
    std::optional<FileSnapshot> snapshot;
    try {
        snapshot = access_.readSnapshot(path);
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
        document = std::make_shared<const IniDocument>(IniDocument::ParseFile(snapshot->bytes));
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

// One line of a text being edited: its content as UTF-8, the line end that follows it (CRLF,
// LF, CR, or nothing at the very end), and, while the content is untouched, the bytes the
// file holds it in. Blank lines between two lines are lines of their own.
struct TextLine {
    std::string content;
    std::string end;
    std::optional<std::string> fileBytes;

    void Rewrite(std::string newContent) {
        content = std::move(newContent);
        fileBytes.reset();
    }
};

// Calls f(content, end) for each line of text.
template <typename F>
void ForEachLineWithEnd(std::string_view text, F&& f) {
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
        f(text.substr(pos, end - pos), text.substr(end, next - end));
        pos = next;
    }
}

std::vector<TextLine> SplitLines(std::string_view text) {
    std::vector<TextLine> lines;
    ForEachLineWithEnd(text, [&](std::string_view content, std::string_view end) {
        lines.push_back({std::string(content), std::string(end), std::nullopt});
    });
    return lines;
}

// The lines of a file's bytes (its byte-order mark removed) in the given form. The lines of a
// UTF-16 file are decoded as a whole and written back in UTF-16; the lines of other files
// keep their bytes until they are rewritten.
std::vector<TextLine> SplitFileLines(std::string_view bytes, TextForm form) {
    if (form == TextForm::Utf16Le || form == TextForm::Utf16Be) {
        return SplitLines(Utf16ToUtf8(bytes, form == TextForm::Utf16Be));
    }
    std::vector<TextLine> lines;
    ForEachLineWithEnd(bytes, [&](std::string_view content, std::string_view end) {
        lines.push_back({DecodeLine(content, form).text, std::string(end), std::string(content)});
    });
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

// The text inside double quotes.
std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

// The value as written: inside double quotes when the reader would otherwise change it.
std::string EncodeValue(std::string_view value) {
    const bool blankAtEnd =
        !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                           kBlanks.find(value.back()) != std::string_view::npos);
    if (blankAtEnd || UnquotedValue(value).size() != value.size()) {
        return Quoted(value);
    }
    return std::string(value);
}

// Why a write cannot be done, or nullopt when it can.
std::optional<std::string> InvalidWriteReason(
    std::string_view section, const std::vector<std::pair<std::string, std::string>>& keyValues) {
    const auto hasLineBreak = [](std::string_view text) {
        return text.find_first_of(kCrlf) != std::string_view::npos;
    };
    // Names and values are shown as far as they are text: bytes that are not UTF-8 would
    // only make the message itself unreadable.
    const auto quoted = [](std::string_view text) { return Quoted(RepairUtf8(text)); };
    if (!IsValidUtf8(section)) {
        return "the section name " + quoted(section) + " is not UTF-8 text";
    }
    if (hasLineBreak(section) || Trim(section) != section) {
        return "the section name " + quoted(section) + " has a line break or blanks at either end";
    }
    for (const auto& [key, value] : keyValues) {
        if (key.empty() || !IsValidUtf8(key) || hasLineBreak(key) || Trim(key) != key ||
            key.find('=') != std::string::npos || key.starts_with('[')) {
            return "the key name " + quoted(key) + " in section " + quoted(section) +
                   " is not a valid key name";
        }
        if (!IsValidUtf8(value)) {
            return "the value of key " + quoted(key) + " in section " + quoted(section) +
                   " is not UTF-8 text";
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
        std::string header = "[";
        header += section;
        header += ']';
        lines.push_back({std::move(header), lineEnd, std::nullopt});
        lines.push_back({std::string(key) + "=" + EncodeValue(value), lineEnd, std::nullopt});
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
            line.Rewrite(std::string(name) + "=" + EncodeValue(value));
        }
        return;
    }
    TextLine& after = lines[lastNonBlank];
    if (after.end.empty()) {
        after.end = lineEnd;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastNonBlank) + 1,
                 {std::string(key) + "=" + EncodeValue(value), lineEnd, std::nullopt});
}

void ApplyWrites(std::vector<TextLine>& lines, std::string_view section,
                 const std::vector<std::pair<std::string, std::string>>& keyValues) {
    const std::string lineEnd = LineEndOf(lines);
    for (const auto& [key, value] : keyValues) {
        ApplyOneWrite(lines, section, key, value, lineEnd);
    }
}

// The file's bytes: its byte-order mark, then each line as the file held it or, when new or
// rewritten, in the file's form.
std::string JoinFileLines(const std::vector<TextLine>& lines, TextForm form) {
    const bool utf16 = form == TextForm::Utf16Le || form == TextForm::Utf16Be;
    const auto encode = [&](std::string_view text) {
        return utf16 ? Utf8ToUtf16(text, form == TextForm::Utf16Be) : std::string(text);
    };
    std::string bytes(ByteOrderMarkOf(form));
    for (const TextLine& line : lines) {
        bytes += line.fileBytes ? *line.fileBytes : encode(line.content);
        bytes += encode(line.end);
    }
    return bytes;
}

}  // namespace

std::string ApplyIniWrites(std::string_view original, std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& keyValues) {
    if (const auto reason = InvalidWriteReason(section, keyValues)) {
        throw std::invalid_argument(*reason);
    }
    std::vector<TextLine> lines = SplitLines(original);
    ApplyWrites(lines, section, keyValues);
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

std::vector<std::string> WriteIniStrings(
    const std::string& path, std::string_view section,
    const std::vector<std::pair<std::string, std::string>>& keyValues) {
    if (keyValues.empty()) {
        return {};
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
    std::string_view original = bytes ? std::string_view(*bytes) : std::string_view();
    const TextForm form = DetectTextForm(original);
    original.remove_prefix(ByteOrderMarkOf(form).size());
    std::vector<TextLine> lines = SplitFileLines(original, form);
    ApplyWrites(lines, section, keyValues);
    const std::string updated = JoinFileLines(lines, form);
    try {
        WriteFileAtomically(path, updated);
    } catch (const FileError& error) {
        throw IniWriteError(path, error.reason());
    } catch (const std::system_error& error) {
        throw IniWriteError(path, error.what());
    }
    // Read back by the reading rules themselves, so that what is reported is what a reader
    // will get.
    const IniDocument written = IniDocument::ParseFile(updated);
    std::vector<std::string> cutKeys;
    for (const auto& [key, value] : keyValues) {
        const std::optional<IniValue> read = written.FindValue(section, key);
        if (read && read->cut) {
            cutKeys.push_back(key);
        }
    }
    return cutKeys;
}

}  // namespace palomix
