#include "cli/RunCommand.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "cli/GatedLauncher.h"
#include "cli/HostLoop.h"
#include "cli/JobReport.h"
#include "engine/BatchRun.h"
#include "platform/Drives.h"
#include "platform/InterruptSignals.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

namespace {

constexpr auto kTimerPeriod = std::chrono::seconds(1);
constexpr std::string_view kProgramName = "palomix-batch";

// Prints the run as it goes and keeps what the exit status is made of. Lives on the loop's
// thread, like the run.
class RunReporter final : public BatchRunObserver {
public:
    RunReporter(JobQueue& jobs, GatedLauncher& launcher, std::ostream& err)
        : jobs_(jobs),
          launcher_(launcher),
          err_(err),
          total_(jobs.JobCount()),
          jobStart_(HostLoop::Clock::now()) {}

    void ShowMessage(const std::string& text) override {
        if (!quiet_) {
            err_ << kProgramName << ": " << text << '\n';
        }
    }

    void JobFinished(const JobResult& result) override {
        const HostLoop::Clock::time_point now = HostLoop::Clock::now();
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(now - jobStart_).count();
        jobStart_ = now;
        ++finished_;
        switch (result.outcome) {
            case JobOutcome::Done:
                ++tally_.done;
                break;
            case JobOutcome::Failed:
                ++tally_.failed;
                break;
            case JobOutcome::Stopped:
                ++tally_.stopped;
                break;
            case JobOutcome::NotStarted:
                // It stays at the head of the list; RunEnded, which follows at once, has the line
                // that could not be started.
                notStarted_ = result;
                return;
        }
        Print(JobReportText(result, finished_, total_, seconds));
    }

    void RunEnded(const RunEnd& end) override {
        ended_ = true;
        if (notStarted_) {
            if (launcher_.Closed() && end.detail == kLauncherClosedReason) {
                // Refused because of a Ctrl-C: a job that had begun counts as stopped, one
                // that had not as not run.
                if (notStarted_->commandsRun > 0) {
                    JobResult stopped = *notStarted_;
                    stopped.outcome = JobOutcome::Stopped;
                    ++tally_.stopped;
                    Print(JobReportText(stopped, finished_, total_, 0));
                    headCounted_ = true;
                }
            } else {
                launchFailed_ = true;
                Print(JobReportText(*notStarted_, finished_, total_, 0, end.commandLine));
            }
        }
        if (end.reason == RunEndReason::NothingSelected) {
            nothingSelected_ = true;
            Print(std::string(kProgramName) + ": " + end.detail + "\n");
        }
    }

    // The first Ctrl-C: nothing new starts, the running command is stopped, and the jobs
    // behind it are left out.
    void Interrupt(BatchRun& run) {
        interrupted_ = true;
        launcher_.Close();
        Print(std::string(kProgramName) +
              ": stopping the conversion (Ctrl-C again ends the program at once)\n");
        quiet_ = true;  // a stop that finds the command already ended needs no message
        run.Button1Click();
        quiet_ = false;
        if (run.StopRequested()) {
            // The stopped job has left the list and no job of it runs any more: the rest are
            // not run, and the run ends when the stopped process's end arrives.
            tally_.notRun += jobs_.JobCount();
            while (jobs_.RemoveHeadJob()) {
            }
        }
    }

    bool Ended() const { return ended_; }

    // Prints the summary and gives the exit status.
    int Finish() {
        tally_.notRun += jobs_.JobCount() - (headCounted_ ? 1 : 0);
        Print(RunSummaryText(tally_));
        if (launchFailed_) {
            return kBatchExitNotStarted;
        }
        if (nothingSelected_) {
            return 2;
        }
        if (interrupted_ || tally_.failed > 0 || tally_.stopped > 0 || tally_.notRun > 0) {
            return kBatchExitCommandFailed;
        }
        return kBatchExitConverted;
    }

private:
    void Print(const std::string& text) {
        err_ << text;
        err_.flush();
    }

    JobQueue& jobs_;
    GatedLauncher& launcher_;
    std::ostream& err_;
    const int total_;
    HostLoop::Clock::time_point jobStart_;
    int finished_ = 0;
    RunTally tally_;
    std::optional<JobResult> notStarted_;
    bool ended_ = false;
    bool launchFailed_ = false;
    bool nothingSelected_ = false;
    bool interrupted_ = false;
    bool headCounted_ = false;
    bool quiet_ = false;
};

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
