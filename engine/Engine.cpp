#include "engine/Engine.h"

#include <algorithm>
#include <iterator>
#include <thread>
#include <utility>

#include "platform/FileSystem.h"

namespace palomix {

Engine::Engine(EngineSetup setup, PostToHost post)
    : programFolder_(std::move(setup.programFolder)),
      style_(setup.style),
      reader_(setup.reader ? std::move(setup.reader) : std::make_shared<IniReader>()),
      devices_(setup.devices ? std::move(setup.devices) : SystemDeviceAccess()),
      launcher_(setup.makeLauncher ? setup.makeLauncher(std::move(post))
                                   : SystemProcessLauncher(std::move(post))),
      jobs_(style_),
      intake_(jobs_),
      catalogue_(programFolder_, reader_),
      policy_(programFolder_, style_) {
    RunInputs inputs;
    inputs.chosenCommand = [this] { return CurrentCommand(); };
    inputs.outputFolder = [this] { return outputFolder_; };
    inputs.existingOutputs = [this] { return existingOutputs_; };
    inputs.keepTree = [this] { return keepTree_; };
    inputs.keepDates = [this] { return keepDates_; };
    inputs.probeProgram = setup.probeProgram;
    const std::string ffmpeg = CoresProgram(programFolder_, "ffmpeg", style_);
    if (inputs.probeProgram.empty()) {
        std::string probe = CoresProgram(programFolder_, "ffprobe", style_);
        if (PathExists(probe)) {
            inputs.probeProgram = std::move(probe);
        } else {
            // ffmpeg without ffprobe beside it: done jobs say their outputs were not checked.
            inputs.noteUncheckedOutputs = PathExists(ffmpeg);
        }
    }
    converter_ = std::make_unique<ConverterFeatureReader>(*launcher_, ffmpeg, [this] {
        run_->ConverterRead();
        if (observer_ != nullptr) {
            observer_->ConverterChecked();
        }
    });
    inputs.converter = converter_.get();
    run_ = std::make_unique<BatchRun>(jobs_, *launcher_, *devices_, *reader_, policy_,
                                      std::move(inputs));
}

Engine::~Engine() {
    observer_ = nullptr;
    run_->SetObserver(nullptr);
    run_.reset();
}

void Engine::SetObserver(EngineObserver* observer) {
    observer_ = observer;
    run_->SetObserver(observer);
}

CommandCheck Engine::CommandNeeds(const ChosenCommand& command) {
    CommandCheck check;
    switch (converter_->Look()) {
        case ConverterFeatureReader::State::Reading:
            check.state = CommandCheck::State::Reading;
            return check;
        case ConverterFeatureReader::State::Known:
            break;
        default:
            return check;
    }
    check.state = CommandCheck::State::Checked;
    const CommandDefinition* definition = PlanCommand(command);
    if (definition == nullptr) {
        return check;
    }
    // The lines as they would be for some file; the options they name do not depend on it.
    const JobInputs sample{JoinPath(programFolder_, "input.mp4", style_),
                           outputFolder_.empty() ? programFolder_ : outputFolder_, "input"};
    PlanningDeviceAccess devices(*devices_);
    std::vector<PlannedLine> lines;
    for (const CommandTemplate& commandTemplate : definition->templates) {
        if (std::optional<PlannedLine> line = policy_.PlanLine(commandTemplate, sample, devices)) {
            lines.push_back(std::move(*line));
        }
    }
    check.missing =
        MissingNeeds(NeedsOfLines(lines, converter_->Program(), style_), converter_->Features());
    return check;
}

std::optional<ChosenCommand> Engine::CurrentCommand() const {
    return fixedCommand_ ? fixedCommand_ : catalogue_.SelectedCommand();
}

void Engine::SetSimultaneousJobs(std::size_t count) {
    if (count == 0) {
        count = std::max(1u, std::thread::hardware_concurrency());
    }
    run_->SetSimultaneousJobs(count);
}

int Engine::RemoveWaiting(std::span<const JobId> ids) {
    std::vector<JobId> waiting;
    waiting.reserve(ids.size());
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(waiting),
                 [this](JobId id) { return !run_->IsActive(id); });
    return jobs_.Remove(waiting);
}

void Engine::AddFiles(std::span<const QueuedFile> files) {
    jobs_.BeginAppend();
    for (const QueuedFile& file : files) {
        jobs_.AddJob(file.path, file.subfolder);
    }
    jobs_.EndAppend();
}

void Engine::MoveToTop(std::span<const JobId> ids) {
    // The converting jobs stand at the top; the moved ones come right below them.
    std::int32_t keep = 0;
    while (keep < jobs_.JobCount() && run_->IsActive(jobs_.Id(keep))) {
        ++keep;
    }
    jobs_.MoveUp(ids, keep);
}

bool Engine::IsConverting(JobId id) const {
    return run_->IsActive(id);
}

IntakeResult Engine::AddPaths(std::span<const std::string> paths) {
    return intake_.TakeDrop(paths);
}

const CommandDefinition* Engine::PlanCommand(const ChosenCommand& command) {
    std::shared_ptr<const IniDocument> document = reader_->TryDocument(command.settingsFile);
    if (!planTemplates_ || !(planTemplates_->command == command) ||
        planTemplates_->document != document) {
        CommandDefinition definition;
        if (document) {
            definition.templates = ReadCommandTemplates(*document, command.itemNumber);
            definition.extensions = ReadCommandExtensions(*document, command.itemNumber);
        }
        planTemplates_ = PlanTemplates{command, std::move(document), std::move(definition)};
    }
    return planTemplates_->document ? &planTemplates_->definition : nullptr;
}

JobPlan Engine::PlanWith(std::int32_t index, const ChosenCommand& command, RunOutputs& outputs) {
    const CommandDefinition* definition = PlanCommand(command);
    PlanningDeviceAccess devices(*devices_);
    const std::string& path = jobs_.JobPath(index);
    const std::string folder =
        keepTree_ && !outputFolder_.empty() && !jobs_.Subfolder(index).empty()
            ? JoinPath(outputFolder_, jobs_.Subfolder(index), style_)
            : outputFolder_;
    OutputChoice choice = ChooseOutputName(
        [&](const std::string& name) {
            return policy_.PlanJob(definition, command.settingsFile, JobInputs{path, folder, name},
                                   devices);
        },
        path, existingOutputs_, outputs, style_);
    if (choice.problem != JobProblem::None) {
        choice.plan.problem = choice.problem;
        choice.plan.problemSubject = choice.problemSubject;
        return choice.plan;
    }
    for (const LineOutput& output : choice.plan.Outputs()) {
        outputs.Add(output.path);
    }
    return choice.plan;
}

JobPlan Engine::Plan(std::int32_t index) {
    const std::optional<ChosenCommand> command = CurrentCommand();
    if (!command || index < 0 || index >= jobs_.JobCount()) {
        return {};
    }
    RunOutputs none(style_);
    return PlanWith(index, *command, none);
}

std::vector<JobPlan> Engine::PlanAll() {
    std::vector<JobPlan> plans;
    const std::optional<ChosenCommand> command = CurrentCommand();
    if (!command) {
        return plans;
    }
    RunOutputs outputs(style_);
    plans.reserve(static_cast<std::size_t>(jobs_.JobCount()));
    for (std::int32_t index = 0; index < jobs_.JobCount(); ++index) {
        plans.push_back(PlanWith(index, *command, outputs));
    }
    return plans;
}

}  // namespace palomix
