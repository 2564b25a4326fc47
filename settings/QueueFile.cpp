#include "settings/QueueFile.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr std::string_view kHeader = "Palomix queue 1";
// The form that names a command and an output folder of a file's own.
constexpr std::string_view kHeaderOwnSettings = "Palomix queue 2";
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

namespace {

// The commands and output folders the files of a queue have of their own, each once, in the
// order of the files.
struct OwnSettings {
    std::vector<ChosenCommand> commands;
    std::vector<std::string> outputs;

    explicit OwnSettings(const std::vector<QueuedFile>& files) {
        for (const QueuedFile& file : files) {
            if (file.command && Number(commands, *file.command) == 0) {
                commands.push_back(*file.command);
            }
            if (!file.outputFolder.empty() && Number(outputs, file.outputFolder) == 0) {
                outputs.push_back(file.outputFolder);
            }
        }
    }
    bool Empty() const { return commands.empty() && outputs.empty(); }

    // From 1; 0 when it is not among them. A queue holds a handful of watched folders' settings
    // at most, so a look through the list is enough.
    template <typename Value>
    static std::size_t Number(const std::vector<Value>& values, const Value& value) {
        const auto found = std::find(values.begin(), values.end(), value);
        return found == values.end() ? 0 : static_cast<std::size_t>(found - values.begin()) + 1;
    }
};

void AppendFileLine(const QueuedFile& file, const OwnSettings& own, std::string& text) {
    text += EscapeQueueName(file.path);
    const std::size_t command = file.command ? OwnSettings::Number(own.commands, *file.command) : 0;
    const std::size_t output = OwnSettings::Number(own.outputs, file.outputFolder);
    if (command != 0 || output != 0) {
        text += '\t';
        text += EscapeQueueName(file.subfolder);
        text += '\t';
        text += std::to_string(command);
        text += '\t';
        text += std::to_string(output);
    } else if (!file.subfolder.empty()) {
        text += '\t';
        text += EscapeQueueName(file.subfolder);
    }
    text += '\n';
}

}  // namespace

std::string EncodeQueue(const SavedQueue& queue) {
    const OwnSettings own(queue.files);
    std::size_t size = 256 + queue.settingsFile.size() + queue.outputFolder.size();
    for (const QueuedFile& file : queue.files) {
        size += file.path.size() + file.subfolder.size() + 2;
    }
    std::string text;
    text.reserve(size + size / 16);
    text += own.Empty() ? kHeader : kHeaderOwnSettings;
    text += "\nsettings=";
    text += EscapeQueueName(queue.settingsFile);
    text += "\ncommand=";
    text += std::to_string(queue.commandItem);
    text += "\noutput=";
    text += EscapeQueueName(queue.outputFolder);
    if (!own.Empty()) {
        text += "\ncommands=" + std::to_string(own.commands.size()) + "\n";
        for (const ChosenCommand& command : own.commands) {
            text += std::to_string(command.itemNumber) + "\t" +
                    EscapeQueueName(command.settingsFile) + "\n";
        }
        text += "outputs=" + std::to_string(own.outputs.size());
        for (const std::string& folder : own.outputs) {
            text += "\n" + EscapeQueueName(folder);
        }
    }
    text += "\nfiles=";
    text += std::to_string(queue.files.size());
    text += '\n';
    for (const QueuedFile& file : queue.files) {
        AppendFileLine(file, own, text);
    }
    text += kEnd;
    text += '\n';
    return text;
}

namespace {

// A count of lines to come: each takes at least two bytes of the text, so a count beyond that
// is a lie.
std::size_t ReadCount(LineReader& lines, std::string_view key, std::size_t textSize) {
    const std::optional<std::size_t> count = ParseNumber<std::size_t>(lines.Value(key));
    if (!count || *count > textSize / 2) {
        lines.Fail("the count of " + std::string(key) + " is not a number that fits the file");
    }
    return *count;
}

// The commands and output folders of the second form.
void ReadOwnSettings(LineReader& lines, std::size_t textSize, OwnSettings& own) {
    const std::size_t commands = ReadCount(lines, "commands", textSize);
    for (std::size_t index = 0; index < commands; ++index) {
        const std::string_view line = lines.Next();
        const std::size_t tab = line.find('\t');
        const std::optional<int> item =
            tab == std::string_view::npos ? std::nullopt : ParseNumber<int>(line.substr(0, tab));
        if (!item || *item < 0) {
            lines.Fail("a command that is not an item number and a settings file");
        }
        own.commands.push_back(ChosenCommand{lines.Name(line.substr(tab + 1)), *item});
    }
    const std::size_t outputs = ReadCount(lines, "outputs", textSize);
    for (std::size_t index = 0; index < outputs; ++index) {
        std::string folder = lines.Name(lines.Next());
        if (folder.empty()) {
            lines.Fail("an empty output folder");
        }
        own.outputs.push_back(std::move(folder));
    }
}

// One file's line: "path", "path<TAB>sub", or (second form) "path<TAB>sub<TAB>c<TAB>o".
QueuedFile ReadFileLine(LineReader& lines, std::string_view line, const OwnSettings* own) {
    if (line.empty() || line == kEnd) {
        lines.Fail("fewer files than the count says");
    }
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    QueuedFile file;
    file.path = lines.Name(fields[0]);
    if (file.path.empty()) {
        lines.Fail("an empty path");
    }
    if (fields.size() == 2) {
        file.subfolder = lines.Name(fields[1]);
        if (file.subfolder.empty()) {
            lines.Fail("an empty subfolder");
        }
    } else if (fields.size() == 4 && own != nullptr) {
        file.subfolder = lines.Name(fields[1]);
        const std::optional<std::size_t> command = ParseNumber<std::size_t>(fields[2]);
        const std::optional<std::size_t> output = ParseNumber<std::size_t>(fields[3]);
        if (!command || !output || *command > own->commands.size() ||
            *output > own->outputs.size() || (*command == 0 && *output == 0)) {
            lines.Fail("a file names a command or output folder that is not listed");
        }
        if (*command > 0) {
            file.command = own->commands[*command - 1];
        }
        if (*output > 0) {
            file.outputFolder = own->outputs[*output - 1];
        }
    } else if (fields.size() != 1) {
        lines.Fail("a file's line has fields it may not have");
    }
    return file;
}

}  // namespace

SavedQueue DecodeQueue(std::string_view text) {
    LineReader lines(text);
    const std::string_view header = lines.Next();
    if (header != kHeader && header != kHeaderOwnSettings) {
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
    std::optional<OwnSettings> own;
    if (header == kHeaderOwnSettings) {
        own.emplace(std::vector<QueuedFile>{});
        ReadOwnSettings(lines, text.size(), *own);
    }
    const std::size_t count = ReadCount(lines, "files", text.size());
    queue.files.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        const std::string_view line = lines.Next();
        queue.files.push_back(ReadFileLine(lines, line, own ? &*own : nullptr));
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
