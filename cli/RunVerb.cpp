#include "cli/RunVerb.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cli/BatchEngine.h"
#include "cli/BatchExit.h"
#include "cli/HostLoop.h"
#include "cli/JobReport.h"
#include "cli/RunReporter.h"
#include "engine/Engine.h"
#include "platform/Drives.h"
#include "platform/InterruptSignals.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

namespace {

constexpr auto kTimerPeriod = std::chrono::seconds(1);

}  // namespace

int RunBatch(const BatchPlan& plan, const std::vector<std::string>& paths, std::ostream& out,
             std::ostream& err) {
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
        const std::unique_ptr<Engine> engine = MakeBatchEngine(plan, loop.Poster());
        const int skipped = TakePaths(*engine, paths, err);
        engine->SetFollowProgress(plan.progressLines || plan.liveProgress);
        RunReporter reporter(
            *engine, err,
            RunReporter::ProgressDisplay{plan.progressLines ? &out : nullptr, plan.liveProgress});
        engine->SetObserver(&reporter);

        onInterruption = [&](const Interruption& interruption) {
            if (interruption.kind == Interruption::Kind::Interrupt && !reporter.Interrupted()) {
                reporter.Interrupt(*engine);
            } else {
                endNow = interruption;
            }
        };

        // A command that needs an encoder or a format cores/ffmpeg lacks is refused before
        // anything runs (the wait for ffmpeg's lists is short).
        CommandCheck check = engine->CommandNeeds(plan.command);
        if (check.state == CommandCheck::State::Reading) {
            loop.Run(
                kTimerPeriod, [] {},
                [&] {
                    return endNow.has_value() || reporter.Interrupted() ||
                           reporter.ConverterHasBeenChecked();
                });
            check = engine->CommandNeeds(plan.command);
        }
        for (const ConverterNeed& need : check.missing) {
            err << kProgramName << ": the command " << ConverterNeedText(need) << '\n';
        }
        const bool refused = !check.missing.empty();
        if (refused) {
            err << kProgramName << ": nothing was converted\n";
            status = kBatchExitCommandFailed;
        } else if (!endNow && !reporter.Interrupted()) {
            engine->StartRun();
            loop.Run(
                kTimerPeriod,
                [&engine, &reporter] {
                    engine->Tick();
                    reporter.ShowProgress();
                },
                [&] {
                    return endNow.has_value() || (reporter.Ended() && !engine->WaitingForProcess());
                });
        }
        engine->SetObserver(nullptr);
        onInterruption = nullptr;
        killed = engine->WaitingForProcess();
        if (!endNow && !refused) {
            status = reporter.Finish();
            if (skipped > 0 && status == kBatchExitConverted) {
                status = kBatchExitCommandFailed;  // a path given was left out
            }
        }
        // Leaving the scope: the run asks its commands to end, the system launcher kills what
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
