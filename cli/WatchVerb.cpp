#include "cli/WatchVerb.h"

#include <chrono>
#include <memory>
#include <optional>

#include "cli/BatchEngine.h"
#include "cli/BatchExit.h"
#include "cli/HostLoop.h"
#include "cli/JobReport.h"
#include "cli/WatchReporter.h"
#include "engine/Engine.h"
#include "platform/InterruptSignals.h"

namespace palomix {

namespace {

constexpr auto kTimerPeriod = std::chrono::seconds(1);

std::chrono::milliseconds Milliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000 + 0.5));
}

// One watching palomix-batch: its event loop, the watch for interruptions, the engine and its
// reporter. The interruption watch outlives the engine, so that a signal while the converters
// are being killed reaches it rather than ending the program half-way.
class WatchSession {
public:
    WatchSession(const BatchPlan& plan, const WatchRequest& request, std::ostream& err)
        : plan_(plan),
          request_(request),
          err_(err),
          interruptions_([this](const Interruption& interruption) {
              loop_.Post([this, interruption] { Interrupted(interruption); });
          }),
          engine_(MakeBatchEngine(plan, loop_.Poster())),
          reporter_(*engine_, err) {
        engine_->SetFollowProgress(false);
        engine_->SetWatchTiming(request.timing);
        engine_->SetObserver(&reporter_);
    }

    ~WatchSession() {
        engine_->SetObserver(nullptr);
        active_ = false;
    }

    int Run() {
        if (RefusedByConverter()) {
            err_ << kProgramName << ": nothing was converted\n";
            return kBatchExitCommandFailed;
        }
        if (interruption_) {
            return Ended();
        }
        for (const std::string& folder : request_.folders) {
            WatchSettings settings{folder, plan_.command, plan_.outputFolder, request_.subfolders,
                                   request_.once};
            const WatchId id = engine_->AddWatch(std::move(settings));
            if (request_.retryFailed) {
                engine_->RetryWatchFailures(id);
            }
        }
        reporter_.Begin();
        loop_.Run(
            kTimerPeriod, [this] { engine_->Tick(); }, [this] { return Done(); });
        return Ended();
    }

    const std::optional<Interruption>& EndNow() const { return endNow_; }

private:
    // Every watch has had its look (--once) and every job has ended; or an interruption.
    bool Done() const {
        if (interruption_) {
            return true;
        }
        if (!request_.once || engine_->RunActive() || engine_->WaitingForProcess()) {
            return false;
        }
        for (const WatchView& view : engine_->Watches()) {
            if (view.state == WatchState::Watching || view.queued > 0) {
                return false;
            }
        }
        return true;
    }

    int Ended() {
        if (!interruption_) {
            return reporter_.Finish(request_.once);
        }
        err_ << kProgramName
             << ": ending; the files being converted now are converted at the next start\n";
        const int status = reporter_.Finish(request_.once);
        if (request_.once) {
            // As an ordinary run ends when it is interrupted.
            if (interruption_->kind == Interruption::Kind::Terminate) {
                endNow_ = interruption_;
            }
            return kBatchExitCommandFailed;
        }
        return status;  // asked to end: nothing went wrong
    }

    void Interrupted(const Interruption& interruption) {
        if (!active_) {
            return;
        }
        if (interruption_) {
            endNow_ = interruption;  // a second one: no more waiting
            return;
        }
        interruption_ = interruption;
    }

    // A command that needs an encoder or a format cores/ffmpeg lacks is refused before
    // anything is watched.
    bool RefusedByConverter() {
        bool checked = false;
        struct Checked final : EngineObserver {
            explicit Checked(bool& flag) : flag_(flag) {}
            void ConverterChecked() override { flag_ = true; }
            bool& flag_;
        } watcher(checked);
        engine_->AddObserver(&watcher);
        CommandCheck check = engine_->CommandNeeds(plan_.command);
        if (check.state == CommandCheck::State::Reading) {
            loop_.Run(
                kTimerPeriod, [] {}, [&] { return checked || interruption_.has_value(); });
            check = engine_->CommandNeeds(plan_.command);
        }
        engine_->RemoveObserver(&watcher);
        for (const ConverterNeed& need : check.missing) {
            err_ << kProgramName << ": the command " << ConverterNeedText(need) << '\n';
        }
        return !check.missing.empty();
    }

    const BatchPlan& plan_;
    const WatchRequest& request_;
    std::ostream& err_;
    HostLoop loop_;
    std::optional<Interruption> interruption_;
    std::optional<Interruption> endNow_;
    bool active_ = true;
    const InterruptWatch interruptions_;
    const std::unique_ptr<Engine> engine_;
    WatchReporter reporter_;
};

}  // namespace

WatchRequest WatchRequestOf(const BatchOptions& options) {
    WatchRequest request;
    for (const std::string& folder : options.watchFolders) {
        request.folders.push_back(IncomingPath(folder));
    }
    request.once = options.once;
    request.subfolders = options.subfolders;
    request.retryFailed = options.retryFailed;
    if (options.settleSeconds) {
        request.timing.settle = Milliseconds(*options.settleSeconds);
    }
    if (options.rescanSeconds) {
        request.timing.rescan = Milliseconds(*options.rescanSeconds);
    }
    return request;
}

int RunWatches(const BatchPlan& plan, const WatchRequest& request, std::ostream& err) {
    std::optional<Interruption> endNow;
    int status = kBatchExitConverted;
    {
        WatchSession session(plan, request, err);
        status = session.Run();
        endNow = session.EndNow();
    }
    if (endNow) {
        err.flush();
        EndByInterruption(*endNow);
    }
    return status;
}

}  // namespace palomix
