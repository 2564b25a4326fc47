#include "cli/RunCommand.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cli/GatedLauncher.h"
#include "cli/HostLoop.h"
#include "cli/RunReporter.h"
#include "engine/BatchRun.h"
#include "platform/Drives.h"
#include "platform/InterruptSignals.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

namespace {

constexpr auto kTimerPeriod = std::chrono::seconds(1);
constexpr std::string_view kProgramName = "palomix-batch";

}  // namespace

int RunBatch(const BatchPlan& plan, JobQueue& jobs, std::ostream& out, std::ostream& err) {
    out.flush();
    HostLoop loop;
    std::optional<Interruption> endNow;
    bool killed = false;
    int status = kBatchExitConverted;
    {
        // Interruptions are handled on the loop's thread; the handler is set once the run
        // exists, and only tasks that the loop runs call it.
        std::function<void(const Interruption&)> onInterruption;
        const InterruptWatch watch([&loop, &onInterruption](const Interruption& interruption) {
            loop.Post([&onInterruption, interruption] {
                if (onInterruption) {
                    onInterruption(interruption);
                }
            });
        });
        // Destroyed before the watch: a Ctrl-C while the converters are being killed still
        // reaches the watch rather than ending the program half-way.
        const std::unique_ptr<ProcessLauncher> system = SystemProcessLauncher(loop.Poster());
        GatedLauncher launcher(*system);
        const std::unique_ptr<DeviceAccess> devices = plan.driveFolders.empty()
                                                          ? SystemDeviceAccess()
                                                          : FolderDeviceAccess(plan.driveFolders);

        BatchRunSettings settings;
        settings.appFolder = plan.appFolder;
        settings.chosenCommand = [command = plan.command] {
            return std::optional<ChosenCommand>(command);
        };
        settings.outputFolder = [folder = plan.outputFolder] { return folder; };
        settings.languageMarks = [language = plan.language] {
            return LanguageMarks{language == Language::Japanese, language == Language::English};
        };
        BatchRun run(jobs, launcher, *devices, std::move(settings));
        RunReporter reporter(jobs, launcher, err);
        run.SetObserver(&reporter);

        onInterruption = [&](const Interruption& interruption) {
            if (interruption.kind == Interruption::Kind::Interrupt && !launcher.Closed()) {
                reporter.Interrupt(run);
            } else {
                endNow = interruption;
            }
        };

        run.StartRun();
        loop.Run(
            kTimerPeriod, [&run] { run.Timer0Timer(); },
            [&] { return endNow.has_value() || (reporter.Ended() && !run.WaitingForProcess()); });
        run.SetObserver(nullptr);
        onInterruption = nullptr;
        killed = run.WaitingForProcess();
        if (!endNow) {
            status = reporter.Finish();
        }
        // Leaving the scope: the run asks its command to end, the system launcher kills what
        // still runs (with its process group) and waits for it, then the signals go back to
        // their defaults.
    }
    loop.Clear();
    if (endNow) {
        err << kProgramName << ": ended at once"
            << (killed ? "; the running converter was killed\n" : "\n");
        err.flush();
        EndByInterruption(*endNow);
    }
    return status;
}

}  // namespace palomix
