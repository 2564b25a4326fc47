#include "engine/ConverterFeatures.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/CommandLineSplit.h"
#include "platform/FileSystem.h"

namespace palomix {

namespace {

constexpr std::string_view kVersionStart = "ffmpeg version ";
constexpr std::string_view kConfigurationStart = "configuration:";

bool HasOption(std::string_view line, std::string_view option) {
    for (std::size_t at = line.find(option); at != std::string_view::npos;
         at = line.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        if ((at == 0 || line[at - 1] == ' ') && (end == line.size() || line[end] == ' ')) {
            return true;
        }
    }
    return false;
}

// How long one list may take to come.
constexpr std::chrono::seconds kQueryTimeLimit{15};

// The lines of a text, without their ends.
std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::vector<std::string_view> WordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

// The entries of an ffmpeg list: the lines after the line of dashes that ends its legend,
// each as its words (the flags first, then the name). nullopt without such a line or entries.
std::optional<std::vector<std::vector<std::string_view>>> ListEntries(std::string_view text) {
    std::vector<std::vector<std::string_view>> entries;
    bool legendEnded = false;
    for (const std::string_view line : LinesOf(text)) {
        const std::vector<std::string_view> words = WordsOf(line);
        if (!legendEnded) {
            legendEnded = words.size() == 1 && words[0].size() >= 2 &&
                          words[0].find_first_not_of('-') == std::string_view::npos;
        } else if (words.size() >= 2) {
            entries.push_back(words);
        }
    }
    if (entries.empty()) {
        return std::nullopt;
    }
    return entries;
}

}  // namespace

std::optional<NameSet> EncodersInList(std::string_view text) {
    const auto entries = ListEntries(text);
    if (!entries) {
        return std::nullopt;
    }
    NameSet names;
    for (const std::vector<std::string_view>& words : *entries) {
        names.emplace(words[1]);
        // "... (codec h264)": `-c:v h264` finds an encoder of that codec.
        const std::string_view last = words.back();
        if (words.size() >= 4 && words[words.size() - 2] == "(codec" && last.size() > 1 &&
            last.back() == ')') {
            names.emplace(last.substr(0, last.size() - 1));
        }
    }
    return names;
}

std::optional<NameSet> FormatsInList(std::string_view text) {
    const auto entries = ListEntries(text);
    if (!entries) {
        return std::nullopt;
    }
    NameSet names;
    for (const std::vector<std::string_view>& words : *entries) {
        if (words[0].find('E') == std::string_view::npos) {
            continue;  // a format that can only be read
        }
        std::string_view list = words[1];  // "sdl,sdl2": one format, two names
        while (!list.empty()) {
            const std::size_t comma = list.find(',');
            if (comma != 0) {
                names.emplace(list.substr(0, comma));
            }
            list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        }
    }
    return names;
}

std::optional<ConverterVersion> ParseConverterVersion(std::string_view output) {
    std::optional<ConverterVersion> found;
    bool gpl = false;
    bool version3 = false;
    bool nonfree = false;
    bool configured = false;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!found && line.starts_with(kVersionStart)) {
            std::string_view rest = line.substr(kVersionStart.size());
            rest = rest.substr(0, rest.find(' '));
            if (!rest.empty()) {
                found = ConverterVersion{std::string(rest), ConverterVersion::Licence::Unknown};
            }
        } else if (line.starts_with(kConfigurationStart)) {
            configured = true;
            gpl = HasOption(line, "--enable-gpl");
            version3 = HasOption(line, "--enable-version3");
            nonfree = HasOption(line, "--enable-nonfree");
        }
    }
    if (found && configured) {
        using Licence = ConverterVersion::Licence;
        found->licence = nonfree    ? Licence::NonFree
                         : gpl      ? (version3 ? Licence::Gpl3 : Licence::Gpl2)
                         : version3 ? Licence::Lgpl3
                                    : Licence::Lgpl21;
    }
    return found;
}

std::vector<ConverterNeed> MissingNeeds(const std::vector<ConverterNeed>& needs,
                                        const ConverterFeatures& features) {
    std::vector<ConverterNeed> missing;
    for (const ConverterNeed& need : needs) {
        const NameSet& offered =
            need.kind == ConverterNeed::Kind::Encoder ? features.encoders : features.formats;
        if (offered.count(need.name) == 0 &&
            std::find(missing.begin(), missing.end(), need) == missing.end()) {
            missing.push_back(need);
        }
    }
    return missing;
}

namespace {

// True when the program a line names is `ffmpeg`: the same text as the file system compares
// it, or the same file.
bool IsProgram(const std::string& named, const std::string& ffmpeg, PathStyle style) {
    if (style == PathStyle::Windows) {
        const auto key = [](std::string text) {
            std::transform(text.begin(), text.end(), text.begin(), [](char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a')
                       : c == '/'           ? '\\'
                                            : c;
            });
            return text;
        };
        const std::string name = key(named);
        const std::string wanted = key(ffmpeg);
        // The system adds ".exe" to a name without an extension.
        if (name == wanted || name + ".exe" == wanted) {
            return true;
        }
    } else if (named == ffmpeg) {
        return true;
    }
    return SameFile(named, ffmpeg);
}

}  // namespace

std::vector<ConverterNeed> NeedsOfLines(const std::vector<PlannedLine>& lines,
                                        const std::string& ffmpeg, PathStyle style) {
    std::vector<ConverterNeed> needs;
    for (const PlannedLine& line : lines) {
        if (line.program.empty() || !IsProgram(line.program, ffmpeg, style)) {
            continue;
        }
        for (ConverterNeed& need : NeedsOfArguments(line.arguments)) {
            if (std::find(needs.begin(), needs.end(), need) == needs.end()) {
                needs.push_back(std::move(need));
            }
        }
    }
    return needs;
}

std::string CoresProgram(const std::string& programFolder, std::string_view name, PathStyle style) {
    std::string path = JoinPath(
        programFolder, std::string("cores") + JoinSeparator(style) + std::string(name), style);
    if (style == PathStyle::Windows) {
        path += ".exe";
    }
    return path;
}

ConverterFeatureReader::ConverterFeatureReader(ProcessLauncher& launcher, std::string program,
                                               std::function<void()> onRead)
    : launcher_(launcher), program_(std::move(program)), onRead_(std::move(onRead)) {}

ConverterFeatureReader::State ConverterFeatureReader::Look() {
    if (state_ == State::Reading) {
        return state_;  // a change made meanwhile is seen at the next look after it
    }
    const std::optional<FileStamp> file = StampOf(program_);
    if (!file || IsFolder(program_)) {
        stamp_.reset();
        state_ = State::Absent;
        return state_;
    }
    const Stamp stamp{file->size, file->modifiedNs};
    if (stamp_ == stamp) {
        return state_;
    }
    stamp_ = stamp;
    features_ = ConverterFeatures{};
    version_.reset();
    listMissing_ = false;
    state_ = State::Reading;
    // All at once: the run waits for them before its first job.
    const bool asked = Query(List::Encoders) && Query(List::Formats) && Query(List::Version);
    if (!asked) {
        listMissing_ = true;
        if (queries_.empty()) {
            state_ = State::Unreadable;
        }
    }
    return state_;
}

bool ConverterFeatureReader::Query(List list) {
    const std::string line =
        QuoteArgument(program_) + (list == List::Encoders  ? " -hide_banner -encoders"
                                   : list == List::Formats ? " -hide_banner -muxers"
                                                           : " -version");
    LaunchOptions options;
    options.timeLimit = kQueryTimeLimit;
    const std::weak_ptr<int> alive = alive_;
    const LaunchResult launch =
        launcher_.Launch(line, options, [this, alive](ProcessHandle handle, ProcessExit exit) {
            if (alive.lock()) {
                OnEnded(handle, exit);
            }
        });
    if (launch.launched) {
        queries_.push_back(RunningQuery{launch.handle, launch.logPath, list});
    }
    return launch.launched;
}

void ConverterFeatureReader::OnEnded(ProcessHandle handle, ProcessExit exit) {
    const auto found =
        std::find_if(queries_.begin(), queries_.end(),
                     [handle](const RunningQuery& query) { return query.handle == handle; });
    if (found == queries_.end()) {
        return;
    }
    const RunningQuery query = *found;
    queries_.erase(found);
    std::optional<std::string> text;
    if (exit.Succeeded() && !query.logPath.empty()) {
        try {
            text = ReadFileBytes(query.logPath);
        } catch (const std::exception&) {
            // An unreadable answer is no list.
        }
    }
    launcher_.DiscardLog(handle);
    std::optional<NameSet> names;
    if (query.list == List::Version) {
        version_ = text ? ParseConverterVersion(*text) : std::nullopt;
    } else if (text) {
        names = query.list == List::Encoders ? EncodersInList(*text) : FormatsInList(*text);
    }
    if (query.list == List::Version) {
        // A version it does not name takes nothing from its lists.
    } else if (!names) {
        listMissing_ = true;
    } else if (query.list == List::Encoders) {
        features_.encoders = std::move(*names);
    } else {
        features_.formats = std::move(*names);
    }
    if (queries_.empty()) {
        state_ = listMissing_ ? State::Unreadable : State::Known;
        if (onRead_) {
            onRead_();
        }
    }
}

}  // namespace palomix
