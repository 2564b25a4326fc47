#include "engine/JobPlanner.h"

#include <algorithm>
#include <utility>

#include "controllogic/CaseFold.h"
#include "platform/CommandLineSplit.h"
#include "platform/ProgramResolution.h"

namespace palomix {

namespace {

// True for a line whose program is the converter (ffmpeg, wherever it lies).
bool RunsConverter(const PlannedLine& line, PathStyle style) {
    std::string name;
    FoldCase(FileNameOf(line.program, style), name);
    return name == "FFMPEG" || name == "FFMPEG.EXE";  // folded to capitals
}

// A run hands the converter files the job made itself, new and empty (engine/JobOutputs.h), so
// the converter must write over them: one that says neither -y nor -n would ask on its input
// whether to, and take no for an answer. Such a line gets -y after its program, in its text
// and its arguments alike (a plan shows what the run starts).
void LetConverterWriteOver(PlannedLine& line, PathStyle style) {
    if (line.outputs.empty() ||
        std::any_of(
            line.arguments.begin(), line.arguments.end(),
            [](const std::string& argument) { return argument == "-y" || argument == "-n"; }) ||
        !RunsConverter(line, style)) {
        return;
    }
    for (const ProgramCandidate& candidate : ProgramCandidates(line.commandLine)) {
        if (SplitArguments(candidate.rest) != line.arguments) {
            continue;
        }
        const std::size_t at = line.commandLine.size() - candidate.rest.size();
        if (!candidate.rest.empty() && !IsArgumentSeparator(candidate.rest.front())) {
            return;  // the first argument is glued to the program: left as written
        }
        line.commandLine.insert(at, " -y");
        line.arguments.insert(line.arguments.begin(), "-y");
        return;
    }
}

}  // namespace

JobPlanner::JobPlanner(const RunPolicy& policy, IniReader& reader, DeviceAccess& devices,
                       ConverterFeatureReader* converter, ProgramFinder findProgram)
    : policy_(policy),
      reader_(reader),
      devices_(devices),
      converter_(converter),
      findProgram_(std::move(findProgram)) {}

void JobPlanner::BeginPass(bool listFolders) {
    looked_ = false;
    programs_.clear();
    starts_.clear();
    converterState_.reset();
    files_ = ExistingFiles(Style(), listFolders);
}

ConverterFeatureReader::State JobPlanner::ConverterState() {
    if (!converterState_) {
        converterState_ =
            converter_ != nullptr ? converter_->Look() : ConverterFeatureReader::State::Absent;
    }
    return *converterState_;
}

const CommandDefinition* JobPlanner::Command(const ChosenCommand& command) {
    // The file is looked at once a pass, so an edit made while a command runs counts from the
    // next template. A parsed file never changes, so what was read from it is kept for as long
    // as each look finds the same file unchanged: then a job costs one look per pass.
    if (looked_ && command_ && command_->command == command) {
        return command_->document ? &command_->definition : nullptr;
    }
    looked_ = true;
    std::shared_ptr<const IniDocument> document = reader_.TryDocument(command.settingsFile);
    if (!command_ || !(command_->command == command) || command_->document != document) {
        CommandDefinition definition;
        if (document) {
            definition.templates = ReadCommandTemplates(*document, command.itemNumber);
            definition.extensions = ReadCommandExtensions(*document, command.itemNumber);
            for (const CommandTemplate& commandTemplate : definition.templates) {
                definition.compiled.push_back(
                    commandTemplate.cut ? std::nullopt
                                        : CompiledTemplate::Compile(commandTemplate.text, Style()));
            }
        }
        command_ = CommandCache{command, std::move(document), std::move(definition)};
    }
    return command_->document ? &command_->definition : nullptr;
}

std::string JobPlanner::OutputFolderFor(std::string_view subfolder,
                                        const PlanChoices& choices) const {
    if (choices.keepTree && !choices.outputFolder.empty() && !subfolder.empty()) {
        return JoinPath(choices.outputFolder, subfolder, Style());
    }
    return choices.outputFolder;
}

void JobPlanner::ReadProgram(PlannedLine& line) {
    FindProgram(line);
    LetConverterWriteOver(line, Style());
}

void JobPlanner::FindProgram(PlannedLine& line) {
    if (!findProgram_ || line.commandLine.empty()) {
        return;
    }
    // The launcher's own rule; each reading is looked up once a pass, and a line that begins
    // as one before it did (every job of a command) is not read again.
    const std::string_view text = line.commandLine;
    const auto known = std::find_if(starts_.begin(), starts_.end(), [&](const KnownStart& start) {
        return text.starts_with(start.decidedBy);
    });
    const ResolvedProgram* resolved = known != starts_.end() ? &known->resolved : nullptr;
    std::size_t restAt = known != starts_.end() ? known->restAt : 0;
    std::optional<ResolvedProgram> found;
    if (resolved == nullptr) {
        found = ResolveProgram(text, [this](const std::string& reading) {
            auto [program, added] = programs_.try_emplace(reading);
            if (added) {
                program->second = findProgram_(reading);
            }
            return program->second;
        });
        if (!found) {
            return;
        }
        restAt = text.size() - found->rest.size();
        if (constexpr std::size_t kMostStarts = 16;
            found->decidedBy != std::string_view::npos && starts_.size() < kMostStarts) {
            starts_.push_back(
                KnownStart{std::string(text.substr(0, found->decidedBy)), restAt, *found});
        }
        resolved = &*found;
    }
    if (resolved->reading != line.program) {
        line.arguments = SplitArguments(text.substr(restAt));
    }
    line.program = resolved->program;
    if (resolved->Ambiguous() && line.Runs()) {
        // Never started in silence: the program found may not be the one the line means.
        line.notRun = NotRun{NotRunReason::AmbiguousProgram, resolved->program, 0, resolved->meant};
    }
}

std::optional<PlannedLine> JobPlanner::PlanLine(const CommandTemplate& commandTemplate,
                                                const JobInputs& job) {
    std::optional<PlannedLine> line = policy_.PlanLine(commandTemplate, job, devices_);
    if (line) {
        ReadProgram(*line);
    }
    return line;
}

std::vector<ConverterNeed> JobPlanner::MissingOf(const std::vector<PlannedLine>& lines) {
    if (ConverterState() != ConverterFeatureReader::State::Known) {
        return {};
    }
    return MissingNeeds(NeedsOfLines(lines, converter_->Program(), Style()),
                        converter_->Features());
}

PlannedJob JobPlanner::PlanJob(std::string_view path, std::string_view subfolder,
                               const ChosenCommand& command, const PlanChoices& choices,
                               OutputBook& book) {
    const CommandDefinition* definition = Command(command);
    const std::string folder = OutputFolderFor(subfolder, choices);
    PlannedJob planned;
    planned.plan.outputFolder = folder;
    if (definition == nullptr) {
        // Shows when the job's first line is read; nothing was named.
        planned.plan.problem = JobProblem::SettingsUnreadable;
        planned.plan.problemSubject = command.settingsFile;
        return planned;
    }
    const std::string input(path);
    PlanningDeviceAccess devices(devices_);
    // Jobs whose outputs differ only by their names number them together.
    const auto family = [&] {
        std::string key;
        FoldCase(folder + '\n' + command.settingsFile + '\n' + std::to_string(command.itemNumber) +
                     '\n' + BaseNameOf(input, Style()),
                 key);
        return key;
    };
    OutputChoice choice = ChooseOutputName(
        [&](const std::string& name) {
            JobPlan plan = policy_.PlanJob(definition, command.settingsFile,
                                           JobInputs{input, folder, name}, devices);
            for (PlannedLine& line : plan.lines) {
                ReadProgram(line);
            }
            return plan;
        },
        input, choices.existing, book, family, files_);
    planned.plan = std::move(choice.plan);
    planned.plan.outputFolder = folder;
    planned.outputName = std::move(choice.name);
    switch (choice.problem) {
        case JobProblem::None:
            break;
        case JobProblem::NotConvertible:
        case JobProblem::OutputExists:
            planned.endsAhead = JobOutcome::Skipped;
            break;
        case JobProblem::NoFreeName:
            planned.endsAhead = JobOutcome::Failed;
            break;
        default:
            break;  // the others show as the job's lines are worked through
    }
    if (choice.problem != JobProblem::None) {
        planned.plan.problem = choice.problem;
        planned.plan.problemSubject = std::move(choice.problemSubject);
        return planned;
    }
    if (const std::vector<ConverterNeed> missing = MissingOf(planned.plan.lines);
        !missing.empty()) {
        planned.plan.problem = missing.front().kind == ConverterNeed::Kind::Encoder
                                   ? JobProblem::EncoderMissing
                                   : JobProblem::FormatMissing;
        planned.plan.problemSubject = missing.front().name;
        planned.endsAhead = JobOutcome::Failed;
    }
    return planned;
}

CommandCheck JobPlanner::Needs(const ChosenCommand& command, const std::string& outputFolder) {
    CommandCheck check;
    if (converter_ == nullptr) {
        return check;
    }
    converterState_.reset();  // asked from outside a pass: looked at now
    switch (ConverterState()) {
        case ConverterFeatureReader::State::Reading:
            check.state = CommandCheck::State::Reading;
            return check;
        case ConverterFeatureReader::State::Known:
            break;
        default:
            return check;
    }
    check.state = CommandCheck::State::Checked;
    const CommandDefinition* definition = Command(command);
    if (definition == nullptr) {
        return check;
    }
    // The lines as they would be for some file; the options they name do not depend on it.
    const std::string& appFolder = policy_.AppFolder();
    const JobInputs sample{JoinPath(appFolder, "input.mp4", Style()),
                           outputFolder.empty() ? appFolder : outputFolder, "input"};
    PlanningDeviceAccess devices(devices_);
    std::vector<PlannedLine> lines;
    for (const CommandTemplate& commandTemplate : definition->templates) {
        if (std::optional<PlannedLine> line = policy_.PlanLine(commandTemplate, sample, devices)) {
            ReadProgram(*line);
            lines.push_back(std::move(*line));
        }
    }
    check.missing = MissingOf(lines);
    return check;
}

}  // namespace palomix
