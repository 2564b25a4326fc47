#include "app/RunReport.h"

#include <string_view>

namespace palomix {

namespace {

std::string Fill(std::string_view format, std::string_view field, const std::string& value) {
    std::string text(format);
    if (const std::size_t at = text.find(field); at != std::string::npos) {
        text.replace(at, field.size(), value);
    }
    return text;
}

void AppendLine(std::string& text, std::string_view label, std::string_view value) {
    text.append(label).append(": ").append(value).append("\n");
}

void AppendOutput(std::string& text, const std::vector<std::string>& lines, const RunTexts& texts) {
    text.append(texts.failureOutput).append(":\n");
    if (lines.empty()) {
        text.append("    ").append(texts.failureNoOutput).append("\n");
        return;
    }
    for (const std::string& line : lines) {
        text.append("    ").append(line).append("\n");
    }
}

}  // namespace

void RunReport::Reset() {
    failed_.clear();
    launchFailure_.reset();
    lastCommand_.clear();
}

void RunReport::CommandStarted(const std::string& commandLine) {
    lastCommand_ = commandLine;
    launchFailure_.reset();
}

void RunReport::JobFinished(const JobResult& result) {
    switch (result.outcome) {
        case JobOutcome::Done:
            return;
        case JobOutcome::Failed:
            failed_.push_back(FailedJob{result.path, result.outcome, result.failures, {}, {}, {}});
            return;
        case JobOutcome::Stopped:
            failed_.push_back(FailedJob{result.path, result.outcome, {}, lastCommand_, {}, {}});
            return;
        case JobOutcome::NotStarted:
            failed_.push_back(
                FailedJob{result.path, result.outcome, {}, {}, {}, result.launchFailure});
            return;
    }
}

void RunReport::RunEnded(const RunEnd& end) {
    if (end.reason != RunEndReason::LaunchFailed) {
        return;
    }
    launchFailure_ = end.detail;
    // The job that could not start was recorded just before; it learns its command line here.
    if (!failed_.empty() && failed_.back().outcome == JobOutcome::NotStarted &&
        failed_.back().launchCommand.empty()) {
        failed_.back().launchCommand = end.commandLine;
    }
}

std::string RunStatusText(const RunReport& report, bool runActive, int jobCount,
                          const RunTexts& texts) {
    const std::string failures =
        report.FailureCount() > 0
            ? Fill(texts.failuresFormat, "{failed}", std::to_string(report.FailureCount()))
            : std::string();
    if (runActive) {
        std::string text = Fill(texts.jobsWaitingFormat, "{jobs}", std::to_string(jobCount));
        if (!failures.empty()) {
            text.append("  ").append(failures);
        }
        return text;
    }
    if (report.LaunchFailure()) {
        return Fill(texts.launchFailedFormat, "{reason}", *report.LaunchFailure());
    }
    return failures;
}

std::string FailureListText(const RunReport& report, const RunTexts& texts) {
    std::string text;
    for (const FailedJob& job : report.FailedJobs()) {
        if (!text.empty()) {
            text.append("\n");
        }
        AppendLine(text, texts.failureFile, job.path);
        switch (job.outcome) {
            case JobOutcome::Failed:
                for (const FailedCommand& command : job.failures) {
                    AppendLine(text, texts.failureCommandLine, command.commandLine);
                    AppendLine(text, texts.failureEnd, command.Outcome());
                    AppendOutput(text, command.logLines, texts);
                }
                break;
            case JobOutcome::Stopped:
                AppendLine(text, texts.failureCommandLine, job.stoppedCommand);
                AppendLine(text, texts.failureEnd, texts.failureStopped);
                break;
            case JobOutcome::NotStarted:
                AppendLine(text, texts.failureCommandLine, job.launchCommand);
                AppendLine(text, texts.failureEnd,
                           Fill(texts.launchFailedFormat, "{reason}", job.launchFailure));
                break;
            case JobOutcome::Done:
                break;
        }
    }
    return text;
}

}  // namespace palomix
