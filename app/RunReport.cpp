#include "app/RunReport.h"

#include <string_view>

#include "engine/RunTimerText.h"
#include "settings/IniFile.h"

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
    skipped_.clear();
    launchFailure_.reset();
}

void RunReport::CommandStarted() {
    launchFailure_.reset();
}

void RunReport::JobEnded(const JobResult& result) {
    if (result.outcome == JobOutcome::Done) {
        return;
    }
    if (result.outcome == JobOutcome::Skipped) {
        skipped_.push_back(result);
        return;
    }
    if (result.outcome == JobOutcome::NotStarted) {
        if (const CommandRecord* failed = result.FirstProblem()) {
            launchFailure_ = failed->launchFailure;
        }
    }
    failed_.push_back(result);
}

std::string LaunchFailureWords(const LaunchFailure& failure, const RunTexts& texts) {
    switch (failure.error) {
        case LaunchError::EmptyLine:
            return std::string(texts.emptyCommandLine);
        case LaunchError::ProgramNotFound:
            return Fill(texts.programNotFoundFormat, "{program}", failure.program);
        case LaunchError::SystemError:
            return Fill(Fill(texts.programNotStartedFormat, "{program}", failure.program),
                        "{detail}", failure.detail);
        case LaunchError::Refused:
            return std::string(texts.launcherClosed);
    }
    return failure.detail;
}

std::string CommandEndWords(const CommandRecord& command, const RunTexts& texts) {
    switch (command.state) {
        case CommandState::Succeeded:
        case CommandState::Failed:
            return Fill(command.exit.kind == ProcessExit::Kind::Exited ? texts.exitCodeFormat
                                                                       : texts.signalFormat,
                        "{code}", std::to_string(command.exit.code));
        case CommandState::Stopped:
            return std::string(texts.failureStopped);
        case CommandState::NotRun:
            switch (command.notRun.reason) {
                case NotRunReason::PlayerNotAttached:
                    return Fill(texts.playerNotAttachedFormat, "{player}", command.notRun.subject);
                case NotRunReason::TooLong:
                    return Fill(texts.lineTooLongFormat, "{bytes}",
                                std::to_string(kMaxIniValueBytes));
                case NotRunReason::SettingsUnreadable:
                    return Fill(texts.settingsUnreadableFormat, "{path}", command.notRun.subject);
            }
            break;
        case CommandState::NotLaunched:
            return Fill(texts.launchFailedFormat, "{reason}",
                        LaunchFailureWords(command.launchFailure, texts));
    }
    return {};
}

std::string JobProblemWords(JobProblem problem, const std::string& subject, const RunTexts& texts) {
    switch (problem) {
        case JobProblem::NothingToRun:
            return std::string(texts.nothingToRun);
        case JobProblem::SettingsUnreadable:
            return Fill(texts.settingsUnreadableFormat, "{path}", subject);
        case JobProblem::OutputExists:
            return Fill(texts.outputExistsFormat, "{path}", subject);
        case JobProblem::NotConvertible:
            return std::string(texts.notConvertible);
        case JobProblem::TooLargeForPlayer:
            return std::string(texts.tooLargeForPlayer);
        case JobProblem::NoFreeName:
            return std::string(texts.noFreeName);
        case JobProblem::OutputNotKept:
            return Fill(texts.outputNotKeptFormat, "{path}", subject);
        case JobProblem::None:
            break;
    }
    return {};
}

std::string StatusWords(const JobStatus& status, const RunTexts& texts) {
    switch (status.state) {
        case JobState::Waiting:
            return std::string(kWaitStatus);
        case JobState::Converting:
            return ConvertingStatusText(status.seconds);
        case JobState::NotStarted:
            return Fill(texts.notStartedFormat, "{program}", status.program);
    }
    return {};
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
    if (report.LaunchFailed()) {
        return Fill(texts.launchFailedFormat, "{reason}",
                    LaunchFailureWords(*report.LaunchFailed(), texts));
    }
    return failures;
}

std::string FailureListText(const RunReport& report, const RunTexts& texts) {
    std::string text;
    for (const JobResult& job : report.FailedJobs()) {
        if (!text.empty()) {
            text.append("\n");
        }
        AppendLine(text, texts.failureFile, job.path);
        for (const CommandRecord& command : job.commands) {
            if (command.state == CommandState::Succeeded) {
                continue;
            }
            AppendLine(text, texts.failureCommandLine, command.commandLine);
            AppendLine(text, texts.failureEnd, CommandEndWords(command, texts));
            if (command.state == CommandState::Failed) {
                AppendOutput(text, command.logTail, texts);
            }
        }
        if (job.problem != JobProblem::None) {
            AppendLine(text, texts.failureEnd,
                       JobProblemWords(job.problem, job.problemSubject, texts));
        }
    }
    return text;
}

}  // namespace palomix
