#include "cli/JobReport.h"

#include <system_error>

#include "cli/PrintableText.h"
#include "platform/FileSystem.h"
#include "settings/IniFile.h"

namespace palomix {

namespace {

std::string AmbiguousProgramText(const std::string& meant, const std::string& found) {
    return "the line names \"" + meant + "\" without quotes, so another program, \"" + found +
           "\", would start instead; put the program's path in double quotes";
}

}  // namespace

std::string NotRunText(const NotRun& notRun) {
    switch (notRun.reason) {
        case NotRunReason::PlayerNotAttached:
            return "no " + notRun.subject + " is attached";
        case NotRunReason::TooLong:
            return "the command line is longer than " + std::to_string(kMaxIniValueBytes) +
                   " bytes and would run cut";
        case NotRunReason::SettingsUnreadable:
            return "the settings file '" + notRun.subject + "' cannot be read";
        case NotRunReason::AmbiguousProgram:
            return AmbiguousProgramText(notRun.meant, notRun.subject);
    }
    return "not run";
}

std::string ConverterNeedText(const ConverterNeed& need) {
    return std::string("needs the ") +
           (need.kind == ConverterNeed::Kind::Encoder ? "encoder " : "format ") + need.name +
           ", which this ffmpeg does not have";
}

std::string OutputFaultText(OutputFault fault) {
    switch (fault) {
        case OutputFault::NotMedia:
        case OutputFault::None:
            break;
        case OutputFault::NoStream:
            return "it holds no stream of the kinds its command makes";
        case OutputFault::NoLength:
            return "none of its packets has a time";
        case OutputFault::Cut:
            return "it breaks off before its end";
        case OutputFault::ProbeCrashed:
            return "the probe crashed";
        case OutputFault::ProbeTimedOut:
            return "the probe took too long";
    }
    return "it holds no media the probe can read";
}

std::string JobProblemText(JobProblem problem, const std::string& subject,
                           const OutputLengths& lengths, OutputFault fault) {
    switch (problem) {
        case JobProblem::NothingToRun:
            return "the command has no command line to run";
        case JobProblem::SettingsUnreadable:
            return "the settings file '" + subject + "' cannot be read";
        case JobProblem::OutputExists:
            return "the output file exists: " + subject;
        case JobProblem::NotConvertible:
            return "not a file this command converts";
        case JobProblem::TooLargeForPlayer:
            return "the output reached 4 GiB, more than a FAT32 card holds in one file: " + subject;
        case JobProblem::NoFreeName:
            return "no free name was found for the output files";
        case JobProblem::OutputNotKept:
            return "the finished output could not be put under its name: " + subject;
        case JobProblem::OutputNotMade:
            return "the output's temporary file could not be made (something stands at its "
                   "name, or the folder refuses it): " +
                   subject;
        case JobProblem::OutputMissing:
            return "the output was not written: " + subject;
        case JobProblem::OutputEmpty:
            return "the output is empty: " + subject;
        case JobProblem::OutputUnreadable:
            return "the output cannot be played to its end (" + OutputFaultText(fault) +
                   "): " + subject;
        case JobProblem::OutputTooShort:
            return "the output lasts " + OneDecimal(lengths.output) + " s, the input " +
                   OneDecimal(lengths.input) + " s: " + subject;
        case JobProblem::EncoderMissing:
            return ConverterNeedText({ConverterNeed::Kind::Encoder, subject});
        case JobProblem::FormatMissing:
            return ConverterNeedText({ConverterNeed::Kind::Format, subject});
        case JobProblem::None:
            break;
    }
    return {};
}

std::string LaunchFailureText(const LaunchFailure& failure) {
    if (failure.error == LaunchError::AmbiguousProgram) {
        return AmbiguousProgramText(failure.meant, failure.program);
    }
    if (!failure.detail.empty()) {
        return failure.detail;
    }
    switch (failure.error) {
        case LaunchError::EmptyLine:
            return "the command line is empty";
        case LaunchError::ProgramNotFound:
            return "the program \"" + failure.program + "\" was not found";
        case LaunchError::SystemError:
            return "the program \"" + failure.program + "\" could not be started (error " +
                   std::to_string(failure.systemCode) + ")";
        case LaunchError::Refused:
            return "no command may start any more";
        case LaunchError::AmbiguousProgram:
            break;
    }
    return "it could not be started";
}

std::string SkipText(const SkippedPath& skipped) {
    switch (skipped.reason) {
        case SkipReason::NotFound:
            return "not found";
        case SkipReason::Unreadable:
            return "cannot be read (" + std::system_category().message(skipped.error) + ")";
        case SkipReason::TooLong:
            return "is longer than " + std::to_string(LongestOpenablePath()) +
                   " bytes, more than a converter can open";
    }
    return "cannot be converted";
}

std::string CommandOutcomeText(const CommandRecord& command) {
    switch (command.state) {
        case CommandState::Succeeded:
            return "exit code 0";
        case CommandState::Failed:
            return (command.exit.kind == ProcessExit::Kind::Exited ? "exit code " : "signal ") +
                   std::to_string(command.exit.code);
        case CommandState::Stopped:
            return "stopped";
        case CommandState::NotRun:
            return "not run: " + NotRunText(command.notRun);
        case CommandState::NotLaunched:
            return "could not start: " + LaunchFailureText(command.launchFailure);
    }
    return {};
}

namespace {

// The lines after the first of a failed job: each command that did not succeed with the last
// lines of its output, then the job's own problem when a command is named first.
void AddFailureLines(const JobResult& result, const CommandRecord* first, std::string& text) {
    for (const CommandRecord& command : result.commands) {
        if (command.state == CommandState::Succeeded) {
            continue;
        }
        text += PrintableLine("    command (" + CommandOutcomeText(command) +
                              "): " + command.commandLine);
        for (const std::string& line : command.logTail) {
            text += PrintableLine("    | " + line);
        }
    }
    if (first != nullptr && result.problem != JobProblem::None) {
        text += PrintableLine("    " + JobProblemText(result.problem, result.problemSubject,
                                                      result.lengths, result.outputFault));
    }
}

}  // namespace

std::string JobReportText(const JobResult& result, int index, int total, std::int64_t seconds,
                          PathStyle style) {
    // Each line is made whole, then cleaned as one: a name or a reason that names a path
    // cannot act on the terminal or break the line.
    const std::string head = "[" + std::to_string(index) + "/" + std::to_string(total) + "] " +
                             std::string(FileNameOf(result.path, style)) + ": ";
    const std::string problem =
        JobProblemText(result.problem, result.problemSubject, result.lengths, result.outputFault);
    switch (result.outcome) {
        case JobOutcome::Done: {
            std::string line = head + "done (" + ElapsedTimeText(seconds) + ")";
            if (!result.outputName.empty() && result.outputName != BaseNameOf(result.path, style)) {
                line += " as " + result.outputName;
            }
            return PrintableLine(line);
        }
        case JobOutcome::Failed: {
            const CommandRecord* first = result.FirstProblem();
            std::string text =
                PrintableLine(head + "failed (" +
                              (first != nullptr ? CommandOutcomeText(*first) : problem) + ")");
            AddFailureLines(result, first, text);
            return text;
        }
        case JobOutcome::Stopped:
            return PrintableLine(head + "stopped");
        case JobOutcome::Skipped:
            return PrintableLine(head + "skipped (" + problem + ")");
        case JobOutcome::NotStarted: {
            const CommandRecord* failed = result.FirstProblem();
            std::string text = PrintableLine(
                head + "could not start: " +
                (failed != nullptr ? LaunchFailureText(failed->launchFailure) : std::string()));
            if (failed != nullptr && !failed->commandLine.empty()) {
                text += PrintableLine("    command: " + failed->commandLine);
            }
            return text;
        }
    }
    return {};
}

std::string RunSummaryText(const RunTally& tally) {
    std::string text = std::to_string(tally.done) + " done";
    const auto add = [&text](int count, const char* what) {
        if (count > 0) {
            text += ", " + std::to_string(count) + " " + what;
        }
    };
    add(tally.failed, "failed");
    add(tally.stopped, "stopped");
    add(tally.notRun, "not run");
    add(tally.skipped, "skipped");
    return PrintableLine(text);
}

}  // namespace palomix
