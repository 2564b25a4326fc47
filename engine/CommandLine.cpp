#include "engine/CommandLine.h"

#include <array>
#include <string>
#include <vector>

#include "engine/DeviceOutput.h"
#include "platform/CommandLineSplit.h"

namespace palomix {

namespace {

// What a rule does with the first occurrence of its token.
enum class Action {
    Replace,          // delete the token, insert the value where it began
    Remove,           // delete the token
    RateSuffix,       // put a "k" directly before the first blank after the token
    RemoveWithValue,  // delete the token, then the value and the blank after it
    Device,           // fill in the path on an attached player
};

// Where a replacement's text comes from.
enum class Source {
    None,
    Text,        // the rule's text as it is
    InputPath,   // the head job's full path
    OutputName,  // OutputFolder, separator, BaseName, then the rule's text (an extension)
    Converter,   // the converter named by the rule's text in the program's cores folder
    DeviceName,  // BaseName and the rule's text (an extension), placed on the device
};

struct Rule {
    std::string_view token;
    Action action;
    Source source = Source::None;
    std::string_view text = {};
    std::string_view markerFolder = {};  // Device rules: which player
    std::string_view mediaFolder = {};   // Device rules: where on the player
};

// The rules in the order they run; each works on the text left by the ones before it. The
// order matters where one token contains another: the options with "<%OutputFile%>" and the
// ".THM" forms run before the bare placeholders, and the "<%OutputPath%>M4V"/"MAQ" prefixes
// are stripped so that a device placeholder behind them stands alone.
constexpr std::array kRules = {
    Rule{"<%InputFile%>", Action::Replace, Source::InputPath},
    Rule{R"(-title "<%Title%>" )", Action::Remove},
    Rule{R"(-timestamp "<%TimeStamp%>" )", Action::Remove},
    Rule{"-fixaspect ", Action::Remove},
    Rule{R"(-passlogfile "<%TemporaryFile%>" )", Action::Remove},
    Rule{R"(-passlogfile "<%OutputFile%>" )", Action::Remove},
    Rule{"<%OutputPath%>M4V", Action::Remove},
    Rule{"<%OutputPath%>MAQ", Action::Remove},
    Rule{"<%TemporaryFile%>", Action::Replace, Source::OutputName},
    Rule{"<%OutputFile%>.THM", Action::Replace, Source::OutputName, ".jpg"},
    Rule{"<%RandomNumber5%>.THM", Action::Device, Source::DeviceName, ".jpg", kPspMarkerFolder,
         kVideoFolder},
    Rule{"<%RandomNumber5%>", Action::Device, Source::DeviceName, "", kPspMarkerFolder,
         kVideoFolder},
    Rule{"-b ", Action::RateSuffix},
    Rule{"-ab ", Action::RateSuffix},
    Rule{"-maxfr ", Action::RemoveWithValue},
    Rule{"-muxvb ", Action::RemoveWithValue},
    Rule{"-muxab ", Action::RemoveWithValue},
    Rule{"-bitexact", Action::Replace, Source::Text, "-flags bitexact"},
    Rule{"-vcodec xvid", Action::Replace, Source::Text, "-vcodec libxvid"},
    Rule{"-vcodec h264", Action::Replace, Source::Text, "-vcodec libx264"},
    Rule{"-acodec mp3", Action::Replace, Source::Text, "-acodec libmp3lame"},
    Rule{"-acodec aac", Action::Replace, Source::Text, "-acodec libfaac"},
    Rule{R"("<%AppPath%>\cores\ffmpeg")", Action::Replace, Source::Converter, "ffmpeg"},
    Rule{R"("<%AppPath%>\cores\Cantalib")", Action::Replace, Source::Converter, "Cantalib"},
    Rule{"<%OutputFile%>", Action::Replace, Source::OutputName},
    Rule{"<%PSPVideoOutputFile%>", Action::Device, Source::DeviceName, "", kPspMarkerFolder,
         kVideoFolder},
    Rule{"<%PSPMusicOutputFile%>", Action::Device, Source::DeviceName, "", kPspMarkerFolder,
         kMusicFolder},
    Rule{"<%WALKMANVideoOutputFile%>", Action::Device, Source::DeviceName, "", kWalkmanMarkerFolder,
         kVideoFolder},
    Rule{"<%WALKMANMusicOutputFile%>", Action::Device, Source::DeviceName, "", kWalkmanMarkerFolder,
         kMusicFolder},
};
static_assert(kRules.size() == 29);

constexpr std::array<std::string_view, 3> kToolLineMarks = {"Platenfold", "Boxwright", "rm "};

// Everything a rule may insert, worked out once per template.
struct Inserts {
    const CommandValues& values;
    std::string baseName;
    std::string deviceName;  // baseName as a player's card accepts it
    PathStyle style;

    std::string ValueOf(const Rule& rule) const {
        switch (rule.source) {
            case Source::Text:
                return std::string(rule.text);
            case Source::InputPath:
                return values.inputPath;
            case Source::OutputName: {
                // Used as built: a folder that already ends in a separator gets a second one.
                std::string name = values.outputFolder;
                name += JoinSeparator(style);
                name += baseName;
                name += rule.text;
                return name;
            }
            case Source::Converter: {
                const char sep = JoinSeparator(style);
                std::string program = values.appFolder;
                program += sep;
                program += "cores";
                program += sep;
                program += rule.text;
                if (style == PathStyle::Windows) {
                    program += ".exe";
                }
                return program;
            }
            case Source::DeviceName:
                return deviceName + std::string(rule.text);
            case Source::None:
                break;
        }
        return {};
    }
};

void PutRateSuffix(std::string& line, std::size_t tokenAt, std::size_t tokenLength) {
    const std::size_t blank = line.find(' ', tokenAt + tokenLength);
    if (blank != std::string::npos) {
        line.insert(blank, 1, 'k');
    }
}

void RemoveWithValue(std::string& line, std::size_t tokenAt, std::size_t tokenLength) {
    line.erase(tokenAt, tokenLength);
    const std::size_t blank = line.find(' ', tokenAt);
    if (blank != std::string::npos) {
        line.erase(tokenAt, blank - tokenAt + 1);
    }
}

// A text with marks, read once into its pieces: the text between the marks, and the value
// each mark stands for. A job's text is then its pieces joined, with no search for marks.
class MarkedText {
public:
    explicit MarkedText(std::string_view text) {
        texts_.emplace_back();
        std::size_t i = 0;
        while (i < text.size()) {
            const std::size_t mark = text.find('\x01', i);
            const std::size_t end =
                mark == std::string_view::npos ? std::string_view::npos : text.find('\x02', mark);
            if (end == std::string_view::npos) {
                texts_.back().append(text.substr(i));
                break;
            }
            texts_.back().append(text.substr(i, mark - i));
            marks_.push_back(std::stoul(std::string(text.substr(mark + 1, end - mark - 1))));
            texts_.emplace_back();
            i = end + 1;
        }
    }

    bool HoldsMarks() const { return !marks_.empty(); }

    // The text's pieces with the values for its marks: text, value, text, ... (views into
    // this and `values`).
    std::vector<LinePiece> Pieces(const std::vector<std::string>& values) const {
        std::vector<LinePiece> pieces;
        for (std::size_t i = 0; i < marks_.size(); ++i) {
            pieces.push_back({texts_[i]});
            pieces.push_back({values[marks_[i]], true});
        }
        pieces.push_back({texts_.back()});
        return pieces;
    }

    // The text with each mark replaced by its value, as it is.
    std::string Filled(const std::vector<std::string>& values) const {
        std::size_t size = texts_.back().size();
        for (std::size_t i = 0; i < marks_.size(); ++i) {
            size += texts_[i].size() + values[marks_[i]].size();
        }
        std::string filled;
        filled.reserve(size);
        for (std::size_t i = 0; i < marks_.size(); ++i) {
            filled += texts_[i];
            filled += values[marks_[i]];
        }
        filled += texts_.back();
        return filled;
    }

private:
    std::vector<std::string> texts_;  // one more than the marks
    std::vector<std::size_t> marks_;  // the value each mark stands for
};

// Values inserted into the line (paths of the job, the output folder, the program folder, a
// player) stand in it as opaque marks until every rule has run, and are put in at the end. So
// a file or folder whose name happens to hold an option token ("-b ", "-maxfr ") or a
// placeholder ("<%OutputFile%>") is inserted exactly as it is, never rewritten by a later rule.
// A mark is \x01, a number and \x02: no rule's token, no blank. A template that itself holds
// \x01 or \x02 gets its values put in directly instead.
class InsertedValues {
public:
    explicit InsertedValues(std::string_view commandTemplate)
        : usable_(commandTemplate.find_first_of("\x01\x02") == std::string_view::npos) {}

    // The text to put into the line for the value that `rule` inserts.
    std::string Mark(std::string value, const Rule& rule) {
        if (!usable_ || value.empty()) {
            return value;
        }
        values_.push_back(std::move(value));
        rules_.push_back(&rule);
        return "\x01" + std::to_string(values_.size() - 1) + "\x02";
    }
    bool Usable() const { return usable_; }
    const std::vector<const Rule*>& Rules() const { return rules_; }

    // The line with every mark replaced by its value. For POSIX the line is later split by the
    // Windows command-line rules, where a double quote and the backslashes before one are
    // special: the values are put in so that each comes out of the split exactly as it is,
    // judged on the joined line (platform/CommandLineSplit.h, JoinEscaped). For Windows they
    // go in as they are, as the converters there have always received them.
    std::string Expand(const std::string& line, PathStyle style) const {
        return ExpandWith(line, values_, style);
    }

    // The same with other values for the marks, in the order they were made.
    static std::string ExpandWith(const std::string& line, const std::vector<std::string>& values,
                                  PathStyle style) {
        if (values.empty()) {
            return line;
        }
        const MarkedText marked(line);
        const std::vector<LinePiece> pieces = marked.Pieces(values);
        if (style == PathStyle::Posix) {
            return JoinEscaped(pieces);
        }
        std::string out;
        for (const LinePiece& piece : pieces) {
            out += piece.text;
        }
        return out;
    }

    // The arguments of the line (its program's included) that hold a value an output
    // placeholder inserted, still with their marks: a mark holds no blank, quote or
    // backslash, so the line's split keeps each one whole inside its argument, and the split
    // of the line with the values put in gives the same arguments with them (Substitute).
    static std::vector<std::string> OutputArguments(const std::string& line,
                                                    const std::vector<const Rule*>& rules) {
        std::vector<std::string> outputs;
        for (std::string& argument : SplitArguments(line)) {
            bool output = false;
            for (std::size_t mark = argument.find('\x01'); mark != std::string::npos;
                 mark = argument.find('\x01', mark + 1)) {
                const std::size_t index = std::stoul(argument.substr(mark + 1));
                output = output || rules[index]->source == Source::OutputName ||
                         rules[index]->source == Source::DeviceName;
            }
            if (output) {
                outputs.push_back(std::move(argument));
            }
        }
        return outputs;
    }

    // A text with its marks replaced by the values, as they are.
    static std::string Substitute(std::string_view text, const std::vector<std::string>& values) {
        return MarkedText(text).Filled(values);
    }

    std::vector<std::string> OutputArguments(const std::string& line) const {
        std::vector<std::string> outputs = OutputArguments(line, rules_);
        for (std::string& output : outputs) {
            output = Substitute(output, values_);
        }
        return outputs;
    }

private:
    bool usable_;
    std::vector<std::string> values_;
    std::vector<const Rule*> rules_;  // the rule that inserted each value
};

void Apply(const Rule& rule, std::string& line, const Inserts& inserts, DeviceAccess& devices,
           InsertedValues& inserted, PreparationNotes& notes) {
    const std::size_t at = line.find(rule.token);
    if (at == std::string::npos) {
        // No drive is touched when a device placeholder is absent.
        return;
    }
    switch (rule.action) {
        case Action::Device: {
            std::string devicePath(rule.token);
            std::string drive;
            if (!InsertDevicePaths(devicePath, rule.token, rule.markerFolder, rule.mediaFolder,
                                   inserts.ValueOf(rule), devices, inserts.style, &drive)) {
                if (notes.missingPlayer.empty()) {
                    notes.missingPlayer = PlayerOfMarker(rule.markerFolder);
                }
            } else {
                notes.places.push_back(PreparationNotes::OutputPlace{
                    FolderOf(devicePath, inserts.style), inserts.deviceName, drive});
            }
            line.replace(at, rule.token.size(), inserted.Mark(std::move(devicePath), rule));
            break;
        }
        case Action::Replace:
            if (rule.source == Source::OutputName) {
                notes.places.push_back(PreparationNotes::OutputPlace{
                    inserts.values.outputFolder, inserts.baseName, {}});
            }
            line.replace(at, rule.token.size(),
                         rule.source == Source::Text ? inserts.ValueOf(rule)
                                                     : inserted.Mark(inserts.ValueOf(rule), rule));
            break;
        case Action::Remove:
            line.erase(at, rule.token.size());
            break;
        case Action::RateSuffix:
            PutRateSuffix(line, at, rule.token.size());
            break;
        case Action::RemoveWithValue:
            RemoveWithValue(line, at, rule.token.size());
            break;
    }
}

}  // namespace

bool IsSkippedTemplate(std::string_view commandTemplate) {
    if (commandTemplate.empty()) {
        return true;
    }
    for (const std::string_view mark : kToolLineMarks) {
        if (commandTemplate.find(mark) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

std::string_view PlayerOfMarker(std::string_view markerFolder) {
    return markerFolder == kWalkmanMarkerFolder ? "WALKMAN" : "PSP";
}

std::optional<std::string> PrepareCommandLine(std::string_view commandTemplate,
                                              const CommandValues& values, DeviceAccess& devices,
                                              PathStyle style, PreparationNotes* notes) {
    if (IsSkippedTemplate(commandTemplate)) {
        return std::nullopt;
    }
    std::string baseName =
        values.outputName.empty() ? BaseNameOf(values.inputPath, style) : values.outputName;
    std::string deviceName = FatSafeName(baseName);
    const Inserts inserts{values, std::move(baseName), std::move(deviceName), style};
    InsertedValues inserted(commandTemplate);
    std::string line(commandTemplate);
    PreparationNotes learned;
    for (const Rule& rule : kRules) {
        Apply(rule, line, inserts, devices, inserted, learned);
    }
    if (inserted.Usable()) {
        learned.outputArguments = inserted.OutputArguments(line);
    }
    if (notes != nullptr) {
        *notes = std::move(learned);
    }
    return inserted.Expand(line, style);
}

namespace {

// The reading of a line as the launcher reads it; nullopt for a line without a program, or one
// whose program holds a quote (read by rules of its own, see platform/CommandLineSplit.h).
std::optional<LineReading> ReadingOf(std::string_view line) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(line);
    if (candidates.empty() || candidates.front().program.find('"') != std::string_view::npos) {
        return std::nullopt;
    }
    return LineReading{std::string(candidates.front().program),
                       SplitArguments(candidates.front().rest)};
}

// A reading with marks: the program, and the arguments, of which only those with marks are
// filled in per job.
struct MarkedReading {
    MarkedText program;
    std::vector<std::string> arguments;  // with their marks
    std::vector<std::pair<std::size_t, MarkedText>> marked;

    explicit MarkedReading(const LineReading& reading)
        : program(reading.program), arguments(reading.arguments) {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (MarkedText argument(arguments[i]); argument.HoldsMarks()) {
                marked.emplace_back(i, std::move(argument));
            }
        }
    }

    LineReading Filled(const std::vector<std::string>& values) const {
        LineReading filled{program.Filled(values), arguments};
        for (const auto& [index, argument] : marked) {
            filled.arguments[index] = argument.Filled(values);
        }
        return filled;
    }
};

// Values without a double quote or a backslash change nothing of how the line is read but the
// blanks and tabs in them: those stay inside their argument where the mark stands within
// quotes. Which marks do is learned by putting in, one mark at a time, a value with both.
constexpr std::string_view kPlainValue = "x";
constexpr std::string_view kBlankValue = "a b\tc";

// What a value holds of the characters the launcher's reading treats specially.
struct SpecialCharacters {
    bool quoteOrBackslash = false;
    bool separator = false;  // a blank or a tab
};

SpecialCharacters SpecialCharactersOf(std::string_view value) {
    // One search a character (find_first_of would look for each in the set at every byte).
    const auto holds = [value](char c) { return value.find(c) != std::string_view::npos; };
    return SpecialCharacters{holds('"') || holds('\\'), holds(' ') || holds('\t')};
}

}  // namespace

struct CompiledTemplate::Rules {
    std::vector<const Rule*> marks;  // the rule whose value each mark stands for
    MarkedText line;
    std::vector<MarkedText> outputs;  // the output arguments, with their marks
    // The template's reading with its marks (POSIX only: there the values are put in so that
    // the line reads as the template does), and for each mark whether a blank of its value
    // stays inside its argument.
    std::optional<MarkedReading> reading;
    std::vector<bool> blanksKept;

    void LearnReading(const std::string& markedLine, PathStyle style) {
        const std::optional<LineReading> read = ReadingOf(markedLine);
        if (!read || style != PathStyle::Posix) {
            return;
        }
        reading.emplace(*read);
        std::vector<std::string> values(marks.size(), std::string(kPlainValue));
        if (ReadingOf(line.Filled(values)) != reading->Filled(values)) {
            reading.reset();
            return;
        }
        for (std::size_t mark = 0; mark < marks.size(); ++mark) {
            values[mark] = kBlankValue;
            blanksKept.push_back(ReadingOf(line.Filled(values)) == reading->Filled(values));
            values[mark] = kPlainValue;
        }
    }

    // True when the values put in leave the line read as the template is.
    bool ReadsAsTemplate(const std::vector<SpecialCharacters>& held) const {
        if (!reading) {
            return false;
        }
        for (std::size_t mark = 0; mark < held.size(); ++mark) {
            if (held[mark].quoteOrBackslash || (held[mark].separator && !blanksKept[mark])) {
                return false;
            }
        }
        return true;
    }
};

CompiledTemplate::CompiledTemplate() = default;
CompiledTemplate::~CompiledTemplate() = default;
CompiledTemplate::CompiledTemplate(CompiledTemplate&&) noexcept = default;
CompiledTemplate& CompiledTemplate::operator=(CompiledTemplate&&) noexcept = default;

std::optional<CompiledTemplate> CompiledTemplate::Compile(std::string_view commandTemplate,
                                                          PathStyle style) {
    if (IsSkippedTemplate(commandTemplate)) {
        return std::nullopt;
    }
    // The rules run on marks, never on values: what they do depends on the template alone,
    // unless a player's placeholder asks the drives.
    for (const Rule& rule : kRules) {
        if (rule.action == Action::Device &&
            commandTemplate.find(rule.token) != std::string::npos) {
            return std::nullopt;
        }
    }
    const CommandValues stand{"x", "x", "x", "x"};
    const Inserts inserts{stand, "x", "x", style};
    InsertedValues inserted(commandTemplate);
    if (!inserted.Usable()) {
        return std::nullopt;
    }
    std::string line(commandTemplate);
    // No rule that asks the drives runs here.
    class NoDrives final : public DeviceAccess {
    public:
        std::vector<std::string> ListDrives() override { return {}; }
        bool IsFolder(const std::string& /*path*/) override { return false; }
        bool CreateFolders(const std::string& /*path*/) override { return false; }
    } noDrives;
    PreparationNotes ignored;
    for (const Rule& rule : kRules) {
        Apply(rule, line, inserts, noDrives, inserted, ignored);
    }
    CompiledTemplate compiled;
    compiled.line_ = std::move(line);
    compiled.style_ = style;
    std::vector<MarkedText> outputs;
    for (const std::string& output :
         InsertedValues::OutputArguments(compiled.line_, inserted.Rules())) {
        outputs.emplace_back(output);
    }
    compiled.rules_ = std::make_unique<Rules>(
        Rules{inserted.Rules(), MarkedText(compiled.line_), std::move(outputs), {}, {}});
    compiled.rules_->LearnReading(compiled.line_, style);
    return compiled;
}

std::optional<std::string> CompiledTemplate::Prepare(const CommandValues& values,
                                                     PreparationNotes* notes,
                                                     std::optional<LineReading>* reading) const {
    std::string baseName =
        values.outputName.empty() ? BaseNameOf(values.inputPath, style_) : values.outputName;
    const Inserts inserts{values, std::move(baseName), {}, style_};
    std::vector<std::string> inserted;
    inserted.reserve(rules_->marks.size());
    PreparationNotes learned;
    for (const Rule* rule : rules_->marks) {
        inserted.push_back(inserts.ValueOf(*rule));
        if (inserted.back().empty()) {
            return std::nullopt;  // an empty value goes in without a mark: prepared in full
        }
        if (rule->source == Source::OutputName) {
            learned.places.push_back(
                PreparationNotes::OutputPlace{values.outputFolder, inserts.baseName, {}});
        }
    }
    learned.outputArguments.emplace();
    for (const MarkedText& output : rules_->outputs) {
        learned.outputArguments->push_back(output.Filled(inserted));
    }
    if (notes != nullptr) {
        *notes = std::move(learned);
    }
    std::vector<SpecialCharacters> held;
    held.reserve(inserted.size());
    bool plain = true;
    for (const std::string& value : inserted) {
        held.push_back(SpecialCharactersOf(value));
        plain = plain && !held.back().quoteOrBackslash;
    }
    if (reading != nullptr) {
        reading->reset();
        if (rules_->ReadsAsTemplate(held)) {
            *reading = rules_->reading->Filled(inserted);
        }
    }
    // Values with neither a quote nor a backslash go in as they are in both styles (see
    // InsertedValues::ExpandWith).
    if (plain || style_ == PathStyle::Windows) {
        return rules_->line.Filled(inserted);
    }
    return InsertedValues::ExpandWith(line_, inserted, style_);
}

}  // namespace palomix
