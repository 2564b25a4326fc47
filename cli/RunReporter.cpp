#include "cli/RunReporter.h"

#include <string_view>

namespace palomix {

namespace {

constexpr std::string_view kProgramName = "palomix-batch";

}  // namespace

RunReporter::RunReporter(const Engine& engine, std::ostream& err)
    : engine_(engine), err_(err), total_(engine.JobCount()) {}

void RunReporter::JobStarted(const JobStart& start) {
    jobStarts_[start.id] = Clock::now();
}

void RunReporter::JobEnded(const JobResult& result) {
    const auto started = jobStarts_.find(result.id);
    const auto seconds =
        started == jobStarts_.end()
            ? 0
            : std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started->second)
                  .count();
    if (started != jobStarts_.end()) {
        jobStarts_.erase(started);
    }
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
        case JobOutcome::Skipped:
            ++tally_.skipped;
            break;
        case JobOutcome::NotStarted:
            // It stays in the list and is counted as not run at the end.
            launchFailed_ = true;
            break;
    }
    ++finished_;
    Print(JobReportText(result, finished_, total_, seconds, engine_.Style()));
}

void RunReporter::RunEnded(const RunEnd& end) {
    ended_ = true;
    if (end.reason == RunEndReason::NothingSelected) {
        nothingSelected_ = true;
        Print(std::string(kProgramName) + ": no conversion command is selected\n");
    }
}

void RunReporter::Interrupt(Engine& engine) {
    interrupted_ = true;
    Print(std::string(kProgramName) +
          ": stopping the conversion (Ctrl-C again ends the program at once)\n");
    engine.StopAll();
}

int RunReporter::Finish() {
    tally_.notRun += engine_.JobCount();
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
