#include "engine/watch/WatchRecord.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "settings/QueueFile.h"

namespace palomix {

namespace {

constexpr std::string_view kHeader = "Palomix watch record 1";
constexpr std::string_view kForget = "forget";
// The results as the file names them, in the order of KnownFiles::Result.
constexpr std::string_view kResultWords[] = {"done",    "failed",  "stopped",
                                             "skipped", "removed", "output"};
constexpr std::int64_t kNanosecondsPerDay = 86'400'000'000'000;

std::filesystem::path FilePath(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The fields of a line, split at tabs.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

template <typename Number>
std::optional<Number> NumberOf(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

template <typename Number>
std::string TextOf(Number value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("0");
}

// An enumeration's value from a field, when it is one of the first `count` values.
template <typename Enum>
std::optional<Enum> EnumOf(std::string_view text, int count) {
    const std::optional<int> value = NumberOf<int>(text);
    if (!value || *value < 0 || *value >= count) {
        return std::nullopt;
    }
    return static_cast<Enum>(*value);
}

template <typename Enum>
std::string EnumText(Enum value) {
    return std::to_string(static_cast<int>(value));
}

std::optional<KnownFiles::Result> ResultNamed(std::string_view word) {
    for (std::size_t index = 0; index < std::size(kResultWords); ++index) {
        if (kResultWords[index] == word) {
            return static_cast<KnownFiles::Result>(index);
        }
    }
    return std::nullopt;
}

std::string EntryLine(std::string_view word, const KnownFiles::Entry& entry,
                      std::string_view name) {
    return std::string(word) + '\t' + std::to_string(entry.size) + '\t' +
           std::to_string(entry.modifiedNs) + '\t' + std::to_string(entry.goneDay) + '\t' +
           EscapeQueueName(name);
}

std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash = 14695981039346656037ULL) {
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

bool CountsAsDone(const std::optional<KnownFiles::Entry>& entry) {
    return entry && entry->result == KnownFiles::Result::Done;
}

// The first command of a failure, read from the fields after the job's own.
std::optional<CommandRecord> DecodeCommand(const std::vector<std::string_view>& fields) {
    CommandRecord command;
    const auto state = EnumOf<CommandState>(fields[6], 5);
    const auto templateNumber = NumberOf<int>(fields[7]);
    const auto exitKind = EnumOf<ProcessExit::Kind>(fields[8], 2);
    const auto exitCode = NumberOf<int>(fields[9]);
    const auto notRunReason = EnumOf<NotRunReason>(fields[11], 3);
    const auto notRunSubject = UnescapeQueueName(fields[12]);
    const auto bytes = NumberOf<std::size_t>(fields[13]);
    const auto launchError = EnumOf<LaunchError>(fields[14], 4);
    const auto program = UnescapeQueueName(fields[15]);
    const auto systemCode = NumberOf<int>(fields[16]);
    if (!state || !templateNumber || !exitKind || !exitCode || !notRunReason || !notRunSubject ||
        !bytes || !launchError || !program || !systemCode) {
        return std::nullopt;
    }
    command.state = *state;
    command.templateNumber = *templateNumber;
    command.exit = ProcessExit{*exitKind, *exitCode, fields[10] == "1"};
    command.notRun = NotRun{*notRunReason, *notRunSubject, *bytes};
    command.launchFailure = LaunchFailure{*launchError, *program, *systemCode, {}};
    return command;
}

}  // namespace

std::uint16_t DayOf(std::int64_t nanosecondsSince1970) {
    const std::int64_t day = nanosecondsSince1970 / kNanosecondsPerDay;
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(day, 1, 0xFFFF));
}

std::uint16_t Today() {
    return DayOf(std::chrono::duration_cast<std::chrono::nanoseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count());
}

std::string WatchRecordPath(const std::string& folder, const WatchSettings& settings) {
    std::uint64_t hash = Fnv1a(settings.folder);
    for (const std::string& part :
         {settings.command.settingsFile, std::to_string(settings.command.itemNumber),
          settings.outputFolder, std::string(settings.subfolders ? "1" : "0")}) {
        hash = Fnv1a(part, Fnv1a(std::string_view("\0", 1), hash));
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return JoinPath(folder, std::string(name) + ".watch");
}

std::string EncodeWatchFailure(const JobResult& result) {
    std::string text = EnumText(result.outcome) + '\t' + EnumText(result.problem) + '\t' +
                       EscapeQueueName(result.problemSubject) + '\t' +
                       TextOf(result.lengths.output) + '\t' + TextOf(result.lengths.input) + '\t' +
                       EnumText(result.outputFault);
    if (const CommandRecord* command = result.FirstProblem()) {
        text += '\t' + EnumText(command->state) + '\t' + std::to_string(command->templateNumber) +
                '\t' + EnumText(command->exit.kind) + '\t' + std::to_string(command->exit.code) +
                '\t' + (command->exit.timeLimitReached ? "1" : "0") + '\t' +
                EnumText(command->notRun.reason) + '\t' + EscapeQueueName(command->notRun.subject) +
                '\t' + std::to_string(command->notRun.bytes) + '\t' +
                EnumText(command->launchFailure.error) + '\t' +
                EscapeQueueName(command->launchFailure.program) + '\t' +
                std::to_string(command->launchFailure.systemCode);
    }
    return text;
}

std::optional<JobResult> DecodeWatchFailure(std::string_view text) {
    const std::vector<std::string_view> fields = Fields(text);
    if (fields.size() != 6 && fields.size() != 17) {
        return std::nullopt;
    }
    JobResult result;
    const auto outcome = EnumOf<JobOutcome>(fields[0], 5);
    const auto problem = NumberOf<int>(fields[1]);
    const auto subject = UnescapeQueueName(fields[2]);
    const auto output = NumberOf<double>(fields[3]);
    const auto input = NumberOf<double>(fields[4]);
    const auto fault = NumberOf<int>(fields[5]);
    if (!outcome || !problem || *problem < 0 || !subject || !output || !input || !fault ||
        *fault < 0) {
        return std::nullopt;
    }
    result.outcome = *outcome;
    result.problem = static_cast<JobProblem>(*problem);
    result.problemSubject = *subject;
    result.lengths = OutputLengths{*output, *input};
    result.outputFault = static_cast<OutputFault>(*fault);
    if (fields.size() == 17) {
        std::optional<CommandRecord> command = DecodeCommand(fields);
        if (!command) {
            return std::nullopt;
        }
        result.commands.push_back(std::move(*command));
    }
    return result;
}

WatchRecord::WatchRecord(std::string path, const std::string& watchedFolder)
    : path_(std::move(path)),
      header_(std::string(kHeader) + "\nfolder=" + EscapeQueueName(watchedFolder) + "\n") {
    if (!path_.empty()) {
        Read(watchedFolder);
    }
}

WatchRecord::~WatchRecord() {
    if (goneChanged_ && !path_.empty()) {
        out_.reset();
        Rewrite();
    }
}

void WatchRecord::Read(const std::string& /*watchedFolder*/) {
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileBytes(path_);
    } catch (const FileError& error) {
        error_ = error.code();
        return;
    }
    if (!bytes) {
        return;
    }
    std::string_view text(*bytes);
    // The first two lines say what it is. A file that is not this watch's record (damaged, or
    // another folder's) is set aside, and the record starts empty.
    std::string normalised;
    if (!text.starts_with(header_)) {
        normalised = std::string(text);
        std::erase(normalised, '\r');
        if (!std::string_view(normalised).starts_with(header_)) {
            RenameOver(path_, path_ + ".damaged");
            return;
        }
        text = normalised;
    }
    text.remove_prefix(header_.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ReadLine(line);
    }
    files_.Sort();
    std::vector<std::string> forgotten;
    files_.ForEach([&](std::string_view name, const KnownFiles::Entry& entry) {
        if (entry.size < 0) {
            forgotten.emplace_back(name);
        }
        done_ += entry.result == KnownFiles::Result::Done ? 1 : 0;
    });
    for (const std::string& name : forgotten) {
        files_.Erase(name);
    }
}

void WatchRecord::ReadLine(std::string_view line) {
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 5) {
        return;  // not a line this program writes: passed over
    }
    ++lines_;
    const auto size = NumberOf<std::int64_t>(fields[1]);
    const auto modified = NumberOf<std::int64_t>(fields[2]);
    const auto gone = NumberOf<std::uint16_t>(fields[3]);
    const std::optional<std::string> name = UnescapeQueueName(fields[4]);
    if (!size || !modified || !gone || !name || name->empty()) {
        return;
    }
    if (fields[0] == kForget) {
        files_.Append(*name, KnownFiles::Entry{-1, 0, KnownFiles::Result::Removed, 0});
        failures_.erase(*name);
        return;
    }
    const std::optional<KnownFiles::Result> result = ResultNamed(fields[0]);
    if (!result) {
        return;
    }
    files_.Append(*name, KnownFiles::Entry{*size, *modified, *result, *gone});
    failures_.erase(*name);
    if (*result == KnownFiles::Result::Failed || *result == KnownFiles::Result::Stopped) {
        const std::size_t whyStart = line.find('\t', fields[4].data() - line.data());
        std::optional<JobResult> why;
        if (whyStart != std::string_view::npos) {
            why = DecodeWatchFailure(line.substr(whyStart + 1));
        }
        failures_.emplace(*name, why.value_or(JobResult{}));
    }
}

void WatchRecord::CountDone(std::string_view /*name*/,
                            const std::optional<KnownFiles::Entry>& before,
                            const KnownFiles::Entry* after) {
    done_ -= CountsAsDone(before) ? 1 : 0;
    done_ += after != nullptr && after->result == KnownFiles::Result::Done ? 1 : 0;
}

void WatchRecord::Note(std::string_view name, const KnownFiles::Entry& entry,
                       const JobResult* why) {
    CountDone(name, files_.Find(name), &entry);
    files_.Set(name, entry);
    std::string line = EntryLine(kResultWords[static_cast<std::size_t>(entry.result)], entry, name);
    if (why != nullptr) {
        failures_.insert_or_assign(std::string(name), *why);
        line += '\t' + EncodeWatchFailure(*why);
    } else {
        if (const auto failure = failures_.find(name); failure != failures_.end()) {
            failures_.erase(failure);
        }
    }
    Append(line);
}

void WatchRecord::Forget(std::string_view name) {
    CountDone(name, files_.Find(name), nullptr);
    if (!files_.Erase(name)) {
        return;
    }
    if (const auto failure = failures_.find(name); failure != failures_.end()) {
        failures_.erase(failure);
    }
    Append(EntryLine(kForget, KnownFiles::Entry{0, 0, KnownFiles::Result::Removed, 0}, name));
}

void WatchRecord::Append(const std::string& line) {
    if (path_.empty()) {
        return;
    }
    ++lines_;
    // Written whole instead when it has grown to twice what it holds.
    if (lines_ > 2 * files_.Count() + 1000) {
        Rewrite();
        return;
    }
    if (!out_) {
        if (!PathExists(path_)) {
            Rewrite();  // the header first
            return;
        }
        out_ = std::make_unique<std::ofstream>(FilePath(path_), std::ios::binary | std::ios::app);
    }
    *out_ << line << '\n';
    out_->flush();
    error_ = *out_ ? std::error_code() : std::make_error_code(std::errc::io_error);
    if (!*out_) {
        out_.reset();
    }
}

void WatchRecord::Rewrite() {
    if (path_.empty()) {
        return;
    }
    out_.reset();
    std::string text = header_;
    std::size_t lines = 0;
    files_.ForEach([&](std::string_view name, const KnownFiles::Entry& entry) {
        text += EntryLine(kResultWords[static_cast<std::size_t>(entry.result)], entry, name);
        if (const auto failure = failures_.find(name); failure != failures_.end()) {
            text += '\t' + EncodeWatchFailure(failure->second);
        }
        text += '\n';
        ++lines;
    });
    try {
        if (const std::error_code made = MakeFolderTree(FolderOf(path_))) {
            error_ = made;
            return;
        }
        WriteFileAtomically(path_, text);
        error_ = {};
        lines_ = lines;
        goneChanged_ = false;
    } catch (const FileError& error) {
        error_ = error.code();
    }
}

}  // namespace palomix
