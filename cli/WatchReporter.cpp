#include "cli/WatchReporter.h"

#include "cli/BatchExit.h"
#include "cli/JobReport.h"

namespace palomix {

namespace {

std::string Quoted(const std::string& path) {
    return "'" + PrintableText(path) + "'";
}

// Why a remembered file did not convert, in a few words.
std::string FailureText(const JobResult& result) {
    if (result.outcome == JobOutcome::Stopped) {
        return "stopped";
    }
    if (const CommandRecord* first = result.FirstProblem()) {
        return CommandOutcomeText(*first);
    }
    const std::string problem =
        JobProblemText(result.problem, result.problemSubject, result.lengths, result.outputFault);
    return problem.empty() ? std::string("failed") : PrintableText(problem);
}

}  // namespace

WatchReporter::WatchReporter(Engine& engine, std::ostream& err) : engine_(engine), err_(err) {}

void WatchReporter::Print(const std::string& text) {
    err_ << text;
    err_.flush();
}

void WatchReporter::Begin() {
    begun_ = true;
    for (const WatchView& view : engine_.Watches()) {
        watches_[view.id] = Known{view.state, view.rescansOnly, bool(view.recordError)};
        SayState(view, true);
        if (view.recordError) {
            Print(std::string(kProgramName) + ": warning: what is converted cannot be kept in " +
                  Quoted(view.recordFile) + " (" + view.recordError.message() +
                  "): a restart converts those files again\n");
        }
        for (const WatchFailure& failure : view.failures) {
            Print(std::string(kProgramName) + ": " + Quoted(failure.path) + " did not convert (" +
                  FailureText(failure.result) +
                  "); it is not tried again until it changes, or with --retry-failed\n");
        }
    }
}

void WatchReporter::SayState(const WatchView& view, bool begun) {
    const std::string folder = Quoted(view.settings.folder);
    switch (view.state) {
        case WatchState::Watching:
            Print(std::string(kProgramName) + ": " +
                  (begun ? "watching " + folder +
                               (view.settings.subfolders ? " and its subfolders" : "") +
                               (view.settings.once ? "" : " (Ctrl-C ends)")
                         : folder + " is back: watching again") +
                  "\n");
            break;
        case WatchState::FolderMissing:
            Print(std::string(kProgramName) + ": " + (view.settings.once ? "warning: " : "") +
                  folder + " cannot be read (" + view.error.message() + ")" +
                  (view.settings.once ? ", skipped\n" : ": waiting for it to come back\n"));
            break;
        case WatchState::Finished:
            if (view.leftBusy > 0) {
                Print(std::string(kProgramName) + ": " + std::to_string(view.leftBusy) +
                      " file(s) in " + folder +
                      " are still being written: left for the next run\n");
            }
            break;
        case WatchState::Paused:
            break;
    }
}

void WatchReporter::JobStarted(const JobStart& start) {
    starts_[start.id] = Clock::now();
}

void WatchReporter::JobEnded(const JobResult& result) {
    std::int64_t seconds = 0;
    if (const auto started = starts_.find(result.id); started != starts_.end()) {
        seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started->second)
                      .count();
        starts_.erase(started);
    }
    launchFailed_ = launchFailed_ || result.outcome == JobOutcome::NotStarted;
    if (result.outcome != JobOutcome::NotStarted) {
        tally_.Add(result.outcome);
    }
    ++ended_;
    Print(JobReportText(result, ended_, ended_ + engine_.JobCount(), seconds, engine_.Style()));
}

void WatchReporter::RunEnded(const RunEnd& end) {
    if (end.reason == RunEndReason::OutputFolderUnusable) {
        Print(std::string(kProgramName) + ": the output folder " + Quoted(end.folder) +
              " cannot be made: " + end.error.message() + "\n");
    }
}

void WatchReporter::WatchChanged(WatchId id) {
    const std::optional<WatchView> view = engine_.Watch(id);
    if (!view || !begun_) {
        return;
    }
    Known& known = watches_[id];
    if (view->state != known.state) {
        known.state = view->state;
        SayState(*view, false);
    }
    if (view->rescansOnly && !known.rescansOnly) {
        Print(std::string(kProgramName) + ": note: the system does not tell every change in " +
              Quoted(view->settings.folder) +
              " (its limit of watched folders is reached): those are found by the rescans\n");
    }
    known.rescansOnly = view->rescansOnly;
    if (view->recordError && !known.recordError) {
        Print(std::string(kProgramName) + ": warning: what is converted cannot be kept in " +
              Quoted(view->recordFile) + " (" + view->recordError.message() +
              "): a restart converts those files again\n");
    }
    known.recordError = bool(view->recordError);
}

void WatchReporter::WatchQueued(WatchId /*id*/, std::int32_t /*count*/) {
    engine_.StartRun();
}

int WatchReporter::Finish(bool once) {
    RunTally tally = tally_;
    tally.notRun = engine_.JobCount();
    Print(RunSummaryText(tally));
    if (!once) {
        return kBatchExitOk;  // asked to end: what went wrong was said as it happened
    }
    if (launchFailed_) {
        return kBatchExitNotStarted;
    }
    bool missing = false;
    for (const WatchView& view : engine_.Watches()) {
        missing = missing || view.state == WatchState::FolderMissing;
    }
    if (tally.failed > 0 || tally.stopped > 0 || missing || tally.notRun > 0) {
        return kBatchExitCommandFailed;
    }
    return kBatchExitConverted;
}

}  // namespace palomix
