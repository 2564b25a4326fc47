#include "cli/RunVerb.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "cli/BatchEngine.h"
#include "cli/BatchExit.h"
#include "cli/HostLoop.h"
#include "cli/JobReport.h"
#include "cli/PrintableText.h"
#include "cli/RunReporter.h"
#include "engine/Engine.h"
#include "frontend/RunLog.h"
#include "platform/Drives.h"
#include "platform/InterruptSignals.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

namespace {

constexpr auto kTimerPeriod = std::chrono::seconds(1);

// One run of palomix-batch: its event loop, the watch for interruptions, the engine and what
// reports on it. The watch outlives the engine: a Ctrl-C while the converters are being killed
// still reaches the watch rather than ending the program half-way.
class BatchSession {
public:
    // The paths (absolute, in the order given) become the run's jobs.
    BatchSession(const BatchPlan& plan, const std::vector<std::string>& paths, std::ostream& out,
                 std::ostream& err)
        : plan_(plan),
          err_(err),
          watch_([this](const Interruption& interruption) {
              loop_.Post([this, interruption] { Interrupted(interruption); });
          }),
          engine_(MakeBatchEngine(plan, loop_.Poster())),
          skipped_(TakePaths(*engine_, paths, err)),
          reporter_(
              *engine_, err,
              RunReporter::ProgressDisplay{plan.progressLines ? &out : nullptr, plan.liveProgress}),
          runLog_(*engine_, RunLogSetup{std::string(kProgramName),
                                        RunLogFolder().value_or(std::string()), plan.logFile}) {
        engine_->SetFollowProgress(plan.progressLines || plan.liveProgress);
        engine_->SetObserver(&reporter_);
        engine_->AddObserver(&runLog_);
    }

    ~BatchSession() {
        // The run asks its commands to end, the system launcher kills what still runs (with
        // its process group) and waits for it, then the signals go back to their defaults.
        engine_->SetObserver(nullptr);
        active_ = false;
    }

    // Converts the jobs; the exit status.
    int Run() {
        if (RefusedByConverter()) {
            err_ << PrintableLine(std::string(kProgramName) + ": nothing was converted");
            return kBatchExitCommandFailed;
        }
        if (!endNow_ && !reporter_.Interrupted()) {
            engine_->StartRun();
            loop_.Run(
                kTimerPeriod,
                [this] {
                    engine_->Tick();
                    reporter_.ShowProgress();
                },
                [this] {
                    return endNow_.has_value() ||
                           (reporter_.Ended() && !engine_->WaitingForProcess());
                });
        }
        killed_ = engine_->WaitingForProcess();
        for (const std::string& failure : runLog_.Failures()) {
            err_ << kProgramName
                 << ": the run's log was not written whole: " << PrintableText(failure) << '\n';
        }
        if (endNow_) {
            return kBatchExitFailure;
        }
        const int status = reporter_.Finish();
        // A path given that was left out fails the run.
        return skipped_ > 0 && status == kBatchExitConverted ? kBatchExitCommandFailed : status;
    }

    const std::optional<Interruption>& EndNow() const { return endNow_; }
    bool Killed() const { return killed_; }

private:
    void Interrupted(const Interruption& interruption) {
        if (!active_) {
            return;
        }
        if (interruption.kind == Interruption::Kind::Interrupt && !reporter_.Interrupted()) {
            reporter_.Interrupt(*engine_);
        } else {
            endNow_ = interruption;
        }
    }

    // A command that needs an encoder or a format cores/ffmpeg lacks is refused before
    // anything runs (the wait for ffmpeg's lists is short).
    bool RefusedByConverter() {
        CommandCheck check = engine_->CommandNeeds(plan_.command);
        if (check.state == CommandCheck::State::Reading) {
            loop_.Run(
                kTimerPeriod, [] {},
                [this] {
                    return endNow_.has_value() || reporter_.Interrupted() ||
                           reporter_.ConverterHasBeenChecked();
                });
            check = engine_->CommandNeeds(plan_.command);
        }
        for (const ConverterNeed& need : check.missing) {
            err_ << PrintableLine(std::string(kProgramName) + ": the command " +
                                  ConverterNeedText(need));
        }
        return !check.missing.empty();
    }

    const BatchPlan& plan_;
    std::ostream& err_;
    HostLoop loop_;
    std::optional<Interruption> endNow_;
    bool active_ = true;
    bool killed_ = false;
    const InterruptWatch watch_;
    const std::unique_ptr<Engine> engine_;
    const int skipped_;  // paths given that became no job
    RunReporter reporter_;
    RunLog runLog_;
};

// The log file asked for (--log) is made (or emptied) before anything runs, so that a run never
// goes on without the log the user wanted; false, saying why, when it cannot be.
bool LogFileWritable(const std::string& path, std::ostream& err) {
    errno = 0;
    std::ofstream file(std::filesystem::path(std::u8string(path.begin(), path.end())),
                       std::ios::binary | std::ios::trunc);
    if (file) {
        return true;
    }
    err << kProgramName << ": the log file '" << PrintableText(path) << "' cannot be written"
        << (errno != 0 ? ": " + std::generic_category().message(errno) : std::string()) << '\n';
    return false;
}

}  // namespace

int RunBatch(const BatchPlan& plan, const std::vector<std::string>& paths, std::ostream& out,
             std::ostream& err) {
    out.flush();
    if (!plan.logFile.empty() && !LogFileWritable(plan.logFile, err)) {
        return kBatchExitUsage;
    }
    std::optional<Interruption> endNow;
    bool killed = false;
    int status = kBatchExitConverted;
    {
        BatchSession session(plan, paths, out, err);
        status = session.Run();
        endNow = session.EndNow();
        killed = session.Killed();
    }
    if (endNow) {
        err << PrintableLine(std::string(kProgramName) + ": ended at once" +
                             (killed ? "; the running converter was killed" : ""));
        err.flush();
        EndByInterruption(*endNow);
    }
    return status;
}

}  // namespace palomix
