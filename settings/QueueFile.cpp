#include "settings/QueueFile.h"

#include <charconv>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr std::string_view kHeader = "Palomix queue 1";
constexpr std::string_view kEnd = "end";
constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Reads the text line by line, counting lines for the reasons of a damaged file.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // The next line without its line end; throws when there is none.
    std::string_view Next() {
        if (position_ >= text_.size()) {
            Fail("the file ends early");
        }
        ++number_;
        const std::size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) {
            Fail("the last line has no line end");
        }
        std::string_view line = text_.substr(position_, end - position_);
        position_ = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    }

    // The value of a "key=..." line.
    std::string_view Value(std::string_view key) {
        const std::string_view line = Next();
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != '=') {
            Fail("\"" + std::string(key) + "=\" expected");
        }
        return line.substr(key.size() + 1);
    }

    std::string Name(std::string_view text) {
        std::optional<std::string> name = UnescapeQueueName(text);
        if (!name) {
            Fail("a name that is not written as the queue writes names");
        }
        return std::move(*name);
    }

    bool AtEnd() const { return position_ == text_.size(); }

    [[noreturn]] void Fail(const std::string& what) const {
        throw QueueFileDamaged("line " + std::to_string(number_) + ": " + what);
    }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    std::size_t number_ = 0;
};

template <typename Integer>
std::optional<Integer> ParseNumber(std::string_view text) {
    Integer value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::string QueueFilePath(const std::string& stateFile) {
    return JoinPath(FolderOf(stateFile), kQueueFileName);
}

std::string EscapeQueueName(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    std::size_t index = 0;
    while (index < name.size()) {
        const auto byte = static_cast<unsigned char>(name[index]);
        std::size_t length = 1;
        bool escape = byte < 0x20 || byte == 0x7F || byte == '\\';
        if (byte >= 0x80) {
            length = Utf8CharacterLength(name.substr(index));
            escape = length == 0;
        }
        if (escape) {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 0x0F];
            ++index;
        } else {
            text.append(name, index, length);
            index += length;
        }
    }
    return text;
}

std::optional<std::string> UnescapeQueueName(std::string_view text) {
    std::string name;
    name.reserve(text.size());
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte < 0x20 || byte == 0x7F) {
            return std::nullopt;  // always escaped
        }
        if (byte != '\\') {
            name += text[index];
            continue;
        }
        if (index + 3 >= text.size()) {
            return std::nullopt;
        }
        const int high = text[index + 1] == 'x' ? HexValue(text[index + 2]) : -1;
        const int low = high >= 0 ? HexValue(text[index + 3]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        name += static_cast<char>(high * 16 + low);
        index += 3;
    }
    return name;
}

std::string EncodeQueue(const SavedQueue& queue) {
    std::size_t size = 256 + queue.settingsFile.size() + queue.outputFolder.size();
    for (const QueuedFile& file : queue.files) {
        size += file.path.size() + file.subfolder.size() + 2;
    }
    std::string text;
    text.reserve(size + size / 16);
    text += kHeader;
    text += "\nsettings=";
    text += EscapeQueueName(queue.settingsFile);
    text += "\ncommand=";
    text += std::to_string(queue.commandItem);
    text += "\noutput=";
    text += EscapeQueueName(queue.outputFolder);
    text += "\nfiles=";
    text += std::to_string(queue.files.size());
    text += '\n';
    for (const QueuedFile& file : queue.files) {
        text += EscapeQueueName(file.path);
        if (!file.subfolder.empty()) {
            text += '\t';
            text += EscapeQueueName(file.subfolder);
        }
        text += '\n';
    }
    text += kEnd;
    text += '\n';
    return text;
}

SavedQueue DecodeQueue(std::string_view text) {
    LineReader lines(text);
    if (lines.Next() != kHeader) {
        lines.Fail("not a Palomix queue file");
    }
    SavedQueue queue;
    queue.settingsFile = lines.Name(lines.Value("settings"));
    const std::optional<std::int32_t> command = ParseNumber<std::int32_t>(lines.Value("command"));
    if (!command || *command < -1) {
        lines.Fail("the command is not a number");
    }
    queue.commandItem = *command;
    queue.outputFolder = lines.Name(lines.Value("output"));
    const std::optional<std::size_t> count = ParseNumber<std::size_t>(lines.Value("files"));
    // Each file takes at least two bytes of the text: a count beyond that is a lie.
    if (!count || *count > text.size() / 2) {
        lines.Fail("the count of files is not a number that fits the file");
    }
    queue.files.reserve(*count);
    for (std::size_t index = 0; index < *count; ++index) {
        const std::string_view line = lines.Next();
        if (line.empty() || line == kEnd) {
            lines.Fail("fewer files than the count says");
        }
        const std::size_t tab = line.find('\t');
        QueuedFile file;
        file.path = lines.Name(line.substr(0, tab));
        if (tab != std::string_view::npos) {
            file.subfolder = lines.Name(line.substr(tab + 1));
            if (file.subfolder.empty()) {
                lines.Fail("an empty subfolder");
            }
        }
        if (file.path.empty()) {
            lines.Fail("an empty path");
        }
        queue.files.push_back(std::move(file));
    }
    if (lines.Next() != kEnd) {
        lines.Fail("\"end\" expected after the files");
    }
    if (!lines.AtEnd()) {
        lines.Fail("text after \"end\"");
    }
    return queue;
}

void SaveQueueFile(const std::string& path, const SavedQueue& queue) {
    if (queue.files.empty()) {
        if (const std::error_code error = RemoveFile(path)) {
            throw FileError(error, path, "removing it");
        }
        return;
    }
    WriteFileAtomically(path, EncodeQueue(queue));
}

QueueFileRead ReadQueueFile(const std::string& path) {
    QueueFileRead read;
    try {
        const std::optional<std::string> bytes = ReadFileBytes(path);
        if (!bytes) {
            return read;
        }
        read.queue = DecodeQueue(*bytes);
        read.state =
            read.queue.files.empty() ? QueueFileRead::State::None : QueueFileRead::State::Found;
    } catch (const std::exception& error) {
        read.state = QueueFileRead::State::Damaged;
        read.queue = {};
        read.problem = error.what();
    }
    return read;
}

std::string DamagedQueueFilePath(const std::string& path) {
    return path + ".damaged";
}

std::error_code SetAsideQueueFile(const std::string& path) {
    const std::error_code error = RenameOver(path, DamagedQueueFilePath(path));
    if (error) {
        RemoveFile(path);
    }
    return error;
}

}  // namespace palomix
