#include "cli/BatchEngine.h"

#include <utility>

#include "cli/BatchExit.h"
#include "cli/JobReport.h"
#include "cli/PrintableText.h"

namespace palomix {

std::unique_ptr<Engine> MakeBatchEngine(
    const BatchPlan& plan, PostToHost post,
    std::function<std::unique_ptr<ProcessLauncher>(PostToHost)> makeLauncher) {
    EngineSetup setup;
    setup.programFolder = plan.appFolder;
    setup.devices =
        plan.driveFolders.empty() ? SystemDeviceAccess() : FolderDeviceAccess(plan.driveFolders);
    setup.makeLauncher = std::move(makeLauncher);
    auto engine = std::make_unique<Engine>(std::move(setup), std::move(post));
    engine->UseCommand(plan.command);
    engine->SetOutputFolder(plan.outputFolder);
    engine->SetExistingOutputs(plan.existing);
    engine->SetSimultaneousJobs(static_cast<std::size_t>(plan.jobs));
    engine->SetKeepDates(plan.keepDates);
    engine->SetKeepTree(plan.keepTree);
    return engine;
}

int TakePaths(Engine& engine, const std::vector<std::string>& paths, std::ostream& err) {
    const IntakeResult intake = engine.AddPaths(paths);
    SaySkipped(intake, err);
    return static_cast<int>(intake.skipped.size());
}

void SaySkipped(const IntakeResult& intake, std::ostream& err) {
    for (const SkippedPath& skipped : intake.skipped) {
        err << PrintableLine(std::string(kProgramName) + ": warning: '" + skipped.path + "' " +
                             SkipText(skipped) + ", skipped");
    }
}

}  // namespace palomix
