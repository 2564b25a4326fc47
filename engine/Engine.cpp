#include "engine/Engine.h"

#include <utility>

namespace palomix {

namespace {

// The drives of the real access, but no folder is ever created: planning the device
// placeholders leaves every drive as it was.
class PlanningDeviceAccess final : public DeviceAccess {
public:
    explicit PlanningDeviceAccess(DeviceAccess& inner) : inner_(inner) {}
    std::vector<std::string> ListDrives() override { return inner_.ListDrives(); }
    bool IsFolder(const std::string& path) override { return inner_.IsFolder(path); }
    bool CreateFolders(const std::string& /*path*/) override { return true; }

private:
    DeviceAccess& inner_;
};

}  // namespace

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
    run_ = std::make_unique<BatchRun>(jobs_, *launcher_, *devices_, *reader_, policy_,
                                      std::move(inputs));
}

Engine::~Engine() {
    run_->SetObserver(nullptr);
    run_.reset();
}

void Engine::SetObserver(EngineObserver* observer) {
    run_->SetObserver(observer);
}

std::optional<ChosenCommand> Engine::CurrentCommand() const {
    return fixedCommand_ ? fixedCommand_ : catalogue_.SelectedCommand();
}

IntakeResult Engine::AddPaths(std::span<const std::string> paths) {
    return intake_.TakeDrop(paths);
}

JobPlan Engine::Plan(std::int32_t index) {
    JobPlan plan;
    const std::optional<ChosenCommand> command = CurrentCommand();
    if (!command || index < 0 || index >= jobs_.JobCount()) {
        return plan;
    }
    std::shared_ptr<const IniDocument> document = reader_->TryDocument(command->settingsFile);
    if (!planTemplates_ || !(planTemplates_->command == *command) ||
        planTemplates_->document != document) {
        std::vector<CommandTemplate> templates;
        if (document) {
            templates = ReadCommandTemplates(*document, command->itemNumber);
        }
        planTemplates_ = PlanTemplates{*command, std::move(document), std::move(templates)};
    }
    PlanningDeviceAccess devices(*devices_);
    return policy_.PlanJob(planTemplates_->document ? &planTemplates_->templates : nullptr,
                           command->settingsFile, JobInputs{jobs_.JobPath(index), outputFolder_},
                           devices);
}

}  // namespace palomix
