#include "app/RunReport.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "app/ConverterReasons.h"
#include "settings/IniFile.h"

namespace palomix {

namespace {

std::string Fill(std::string_view format, std::string_view field, const std::string& value) {
    return FillIn(format, field, value);
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
    earlierFailed_ = static_cast<int>(failed_.size());
    earlierNotAdded_ = static_cast<int>(notAdded_.size());
    tally_ = {};
    notAddedCount_ = 0;
    launchFailure_.reset();
    outputsNotChecked_ = false;
}

void RunReport::CommandStarted() {
    launchFailure_.reset();
}

void RunReport::JobEnded(const JobResult& result) {
    // A job that could not start stays in the job list; when it ends again, it is listed with
    // its latest result only.
    EraseListed([&result](const JobResult& listed) {
        return listed.outcome == JobOutcome::NotStarted && listed.id == result.id;
    });
    tally_.Add(result.outcome);
    switch (result.outcome) {
        case JobOutcome::Done:
            outputsNotChecked_ = outputsNotChecked_ || result.outputsNotChecked;
            return;
        case JobOutcome::Skipped:
        case JobOutcome::Failed:
        case JobOutcome::Stopped:
            break;
        case JobOutcome::NotStarted:
            if (const CommandRecord* failed = result.FirstProblem()) {
                launchFailure_ = failed->launchFailure;
            }
            break;
    }
    failed_.push_back(result);
}

void RunReport::PathsNotAdded(const std::vector<SkippedPath>& skipped) {
    notAddedCount_ += static_cast<int>(skipped.size());
    notAdded_.insert(notAdded_.end(), skipped.begin(), skipped.end());
}

void RunReport::ClearFailures() {
    failed_.clear();
    notAdded_.clear();
    earlierFailed_ = 0;
    earlierNotAdded_ = 0;
}

void RunReport::EraseListed(const std::function<bool(const JobResult&)>& pick) {
    const auto earlierEnd = failed_.begin() + earlierFailed_;
    earlierFailed_ -= static_cast<int>(std::count_if(failed_.begin(), earlierEnd, pick));
    std::erase_if(failed_, pick);
}

namespace {

bool ConvertsAgain(const JobResult& job) {
    return job.outcome == JobOutcome::Failed || job.outcome == JobOutcome::Stopped;
}

}  // namespace

bool RunReport::HasFilesToConvertAgain() const {
    return std::any_of(failed_.begin(), failed_.end(), ConvertsAgain);
}

std::vector<std::string> RunReport::TakeFilesToConvertAgain() {
    std::vector<std::string> files;
    for (const JobResult& job : failed_) {
        if (ConvertsAgain(job)) {
            files.push_back(job.path);
        }
    }
    EraseListed(ConvertsAgain);
    return files;
}

std::string LaunchFailureWords(const LaunchFailure& failure, const RunTexts& texts) {
    switch (failure.error) {
        case LaunchError::EmptyLine:
            return std::string(texts.emptyCommandLine);
        case LaunchError::ProgramNotFound:
            return Fill(texts.programNotFoundFormat, "{program}", failure.program);
        case LaunchError::SystemError:
            // The launcher's detail is English; the code says the same in the window's words.
            return Fill(Fill(texts.programNotStartedFormat, "{program}", failure.program),
                        "{detail}",
                        failure.systemCode != 0 ? SystemErrorWords(failure.systemCode, texts)
                                                : failure.detail);
        case LaunchError::Refused:
            return std::string(texts.launcherClosed);
        case LaunchError::AmbiguousProgram:
            return Fill(Fill(texts.ambiguousProgramFormat, "{meant}", failure.meant), "{found}",
                        failure.program);
    }
    return failure.detail;
}

std::string CommandEndWords(const CommandRecord& command, const RunTexts& texts) {
    switch (command.state) {
        case CommandState::Succeeded:
        case CommandState::Failed: {
            std::string words =
                Fill(command.exit.kind == ProcessExit::Kind::Exited ? texts.exitCodeFormat
                                                                    : texts.signalFormat,
                     "{code}", std::to_string(command.exit.code));
            if (command.exit.timeLimitReached) {
                words.append(texts.timeLimitReached);
            }
            return words;
        }
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
                case NotRunReason::AmbiguousProgram:
                    return Fill(
                        Fill(texts.ambiguousProgramNotRunFormat, "{meant}", command.notRun.meant),
                        "{found}", command.notRun.subject);
            }
            break;
        case CommandState::NotLaunched:
            return Fill(texts.launchFailedFormat, "{reason}",
                        LaunchFailureWords(command.launchFailure, texts));
    }
    return {};
}

std::string ConverterNeedWords(const ConverterNeed& need, const RunTexts& texts) {
    return Fill(need.kind == ConverterNeed::Kind::Encoder ? texts.encoderMissingFormat
                                                          : texts.formatMissingFormat,
                "{name}", need.name);
}

namespace {

std::string_view FaultWords(OutputFault fault, const RunTexts& texts) {
    switch (fault) {
        case OutputFault::NoStream:
            return texts.faultNoStream;
        case OutputFault::NoLength:
            return texts.faultNoLength;
        case OutputFault::Cut:
            return texts.faultCut;
        case OutputFault::ProbeCrashed:
            return texts.faultProbeCrashed;
        case OutputFault::ProbeTimedOut:
            return texts.faultProbeTimedOut;
        case OutputFault::NotMedia:
        case OutputFault::None:
            break;
    }
    return texts.faultNotMedia;
}

}  // namespace

std::string JobProblemWords(JobProblem problem, const std::string& subject, const RunTexts& texts,
                            const OutputLengths& lengths, OutputFault fault) {
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
            return Fill(texts.tooLargeForPlayerFormat, "{path}", subject);
        case JobProblem::NoFreeName:
            return std::string(texts.noFreeName);
        case JobProblem::OutputNotKept:
            return Fill(texts.outputNotKeptFormat, "{path}", subject);
        case JobProblem::OutputNotMade:
            return Fill(texts.outputNotMadeFormat, "{path}", subject);
        case JobProblem::OutputMissing:
            return Fill(texts.outputMissingFormat, "{path}", subject);
        case JobProblem::OutputEmpty:
            return Fill(texts.outputEmptyFormat, "{path}", subject);
        case JobProblem::OutputUnreadable:
            return Fill(
                Fill(texts.outputUnreadableFormat, "{why}", std::string(FaultWords(fault, texts))),
                "{path}", subject);
        case JobProblem::OutputTooShort:
            return Fill(
                Fill(Fill(texts.outputTooShortFormat, "{output}", OneDecimal(lengths.output)),
                     "{input}", OneDecimal(lengths.input)),
                "{path}", subject);
        case JobProblem::EncoderMissing:
            return ConverterNeedWords({ConverterNeed::Kind::Encoder, subject}, texts);
        case JobProblem::FormatMissing:
            return ConverterNeedWords({ConverterNeed::Kind::Format, subject}, texts);
        case JobProblem::None:
            break;
    }
    return {};
}

std::string NotAddedWords(const SkippedPath& skipped, const RunTexts& texts) {
    switch (skipped.reason) {
        case SkipReason::NotFound:
            return std::string(texts.notAddedNotFound);
        case SkipReason::Unreadable:
            return Fill(texts.notAddedUnreadableFormat, "{reason}",
                        SystemErrorWords(skipped.error, texts));
        case SkipReason::TooLong:
            return std::string(texts.notAddedTooLong);
    }
    return {};
}

std::string SystemErrorWords(int code, const RunTexts& texts) {
    const std::error_condition condition = std::system_category().default_error_condition(code);
    if (condition == std::errc::permission_denied ||
        condition == std::errc::operation_not_permitted) {
        return std::string(texts.errorAccessDenied);
    }
    if (condition == std::errc::no_such_file_or_directory) {
        return std::string(texts.errorNotFound);
    }
    if (condition == std::errc::executable_format_error) {
        return std::string(texts.errorNotExecutable);
    }
    return Fill(texts.errorOtherFormat, "{code}", std::to_string(code));
}

std::string BatchCountWords(const RunTally& tally, int notAdded, const RunTexts& texts) {
    std::string words;
    for (const auto& [format, count] :
         {std::pair{texts.convertedFormat, tally.done}, std::pair{texts.failedFormat, tally.failed},
          std::pair{texts.stoppedFormat, tally.stopped},
          std::pair{texts.skippedFormat, tally.skipped},
          std::pair{texts.notAddedFormat, notAdded}}) {
        if (count == 0) {
            continue;
        }
        if (!words.empty()) {
            words.append(texts.partSeparator);
        }
        words.append(Fill(format, "{n}", std::to_string(count)));
    }
    return words;
}

StatusLine RunStatusLine(const RunReport& report, bool runActive, int jobCount,
                         const RunTexts& texts, std::string_view progress) {
    StatusLine line;
    // Entries of this batch are pointed to at once; earlier ones only once it is over.
    const bool batchEntries = report.BatchEntries() > 0;
    if (runActive) {
        line.text = Fill(texts.jobsWaitingFormat, "{jobs}", std::to_string(jobCount));
        line.text.append(progress);
        const RunTally problems{.failed = report.Tally().failed,
                                .stopped = report.Tally().stopped,
                                .skipped = report.Tally().skipped};
        if (const std::string words = BatchCountWords(problems, report.NotAddedCount(), texts);
            !words.empty()) {
            line.text.append("  ").append(words);
        }
    } else if (report.LaunchFailed()) {
        line.text = Fill(texts.launchFailedFormat, "{reason}",
                         LaunchFailureWords(*report.LaunchFailed(), texts));
        line.path = report.LaunchFailed()->program;
        line.pointsToList = report.FailureCount() > 0;
        return line;
    } else {
        line.text = BatchCountWords(report.Tally(), report.NotAddedCount(), texts);
        if (report.OutputsNotChecked()) {
            line.text.append(texts.outputsNotChecked);
        }
        if (!batchEntries && report.EarlierEntries() > 0) {
            line.text.append(line.text.empty() ? texts.earlierEntriesAlone
                                               : texts.earlierEntriesAfter);
            line.pointsToList = true;
        }
    }
    line.pointsToList = line.pointsToList || batchEntries;
    if (line.pointsToList) {
        line.hint = texts.clickForDetails;
    }
    return line;
}

std::string RunStatusText(const RunReport& report, bool runActive, int jobCount,
                          const RunTexts& texts) {
    const StatusLine line = RunStatusLine(report, runActive, jobCount, texts);
    return line.text + line.hint;
}

std::string FailureListText(const RunReport& report, const RunTexts& texts) {
    std::string text;
    for (const SkippedPath& skipped : report.NotAdded()) {
        if (!text.empty()) {
            text.append("\n");
        }
        AppendLine(text, texts.failureFile, skipped.path);
        AppendLine(text, texts.failureEnd, NotAddedWords(skipped, texts));
    }
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
                if (const std::optional<ConverterReason> reason =
                        RecogniseConverterOutput(command.logTail)) {
                    AppendLine(text, texts.failureReason, ConverterReasonWords(*reason, texts));
                }
                AppendOutput(text, command.logTail, texts);
            }
        }
        if (job.problem != JobProblem::None) {
            AppendLine(text, texts.failureEnd,
                       JobProblemWords(job.problem, job.problemSubject, texts, job.lengths,
                                       job.outputFault));
        }
    }
    return text;
}

}  // namespace palomix
