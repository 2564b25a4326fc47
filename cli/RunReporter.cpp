#include "cli/RunReporter.h"

#include <string_view>

namespace palomix {

namespace {

constexpr std::string_view kProgramName = "palomix-batch";

}  // namespace

RunReporter::RunReporter(JobQueue& jobs, GatedLauncher& launcher, std::ostream& err)
    : jobs_(jobs),
      launcher_(launcher),
      err_(err),
      total_(jobs.JobCount()),
      jobStart_(Clock::now()) {}

void RunReporter::ShowMessage(const std::string& text) {
    if (!quiet_) {
        Print(std::string(kProgramName) + ": " + text + "\n");
    }
}

void RunReporter::JobFinished(const JobResult& result) {
    const Clock::time_point now = Clock::now();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - jobStart_).count();
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

void RunReporter::RunEnded(const RunEnd& end) {
    ended_ = true;
    if (notStarted_) {
        if (launcher_.Closed() && end.detail == kLauncherClosedReason) {
            // Refused because of a Ctrl-C: a job that had begun counts as stopped, one that
            // had not as not run.
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

void RunReporter::Interrupt(BatchRun& run) {
    interrupted_ = true;
    launcher_.Close();
    Print(std::string(kProgramName) +
          ": stopping the conversion (Ctrl-C again ends the program at once)\n");
    quiet_ = true;  // a stop that finds the command already ended needs no message
    run.Button1Click();
    quiet_ = false;
    if (run.StopRequested()) {
        // The stopped job has left the list and no job of it runs any more: the rest are not
        // run, and the run ends when the stopped process's end arrives.
        tally_.notRun += jobs_.JobCount();
        while (jobs_.RemoveHeadJob()) {
        }
    }
}

int RunReporter::Finish() {
    tally_.notRun += jobs_.JobCount() - (headCounted_ ? 1 : 0);
    Print(RunSummaryText(tally_));
    if (launchFailed_) {
        return kBatchExitNotStarted;
    }
    if (nothingSelected_) {
        return kBatchExitNothingSelected;
    }
    if (interrupted_ || tally_.failed > 0 || tally_.stopped > 0 || tally_.notRun > 0) {
        return kBatchExitCommandFailed;
    }
    return kBatchExitConverted;
}

void RunReporter::Print(const std::string& text) {
    err_ << text;
    err_.flush();
}

}  // namespace palomix
