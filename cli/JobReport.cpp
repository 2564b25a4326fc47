#include "cli/JobReport.h"

#include <system_error>

#include "platform/FileSystem.h"
#include "settings/IniFile.h"

namespace palomix {

std::string PrintableText(std::string_view text) {
    std::string shown(text);
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

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

std::string JobReportText(const JobResult& result, int index, int total, std::int64_t seconds,
                          PathStyle style) {
    std::string text = "[" + std::to_string(index) + "/" + std::to_string(total) + "] " +
                       PrintableText(FileNameOf(result.path, style)) + ": ";
    switch (result.outcome) {
        case JobOutcome::Done:
            text += "done (" + ElapsedTimeText(seconds) + ")";
            if (!result.outputName.empty() && result.outputName != BaseNameOf(result.path, style)) {
                text += " as " + PrintableText(result.outputName);
            }
            text += "\n";
            break;
        case JobOutcome::Failed: {
            const CommandRecord* first = result.FirstProblem();
            text += "failed (" +
                    (first != nullptr ? CommandOutcomeText(*first)
                                      : JobProblemText(result.problem, result.problemSubject,
                                                       result.lengths, result.outputFault)) +
                    ")\n";
            for (const CommandRecord& command : result.commands) {
                if (command.state == CommandState::Succeeded) {
                    continue;
                }
                text += "    command (" + CommandOutcomeText(command) +
                        "): " + PrintableText(command.commandLine) + "\n";
                for (const std::string& line : command.logTail) {
                    text += "    | " + PrintableText(line) + "\n";
                }
            }
            if (first != nullptr && result.problem != JobProblem::None) {
                text += "    " +
                        JobProblemText(result.problem, result.problemSubject, result.lengths,
                                       result.outputFault) +
                        "\n";
            }
            break;
        }
        case JobOutcome::Stopped:
            text += "stopped\n";
            break;
        case JobOutcome::Skipped:
            text += "skipped (" +
                    JobProblemText(result.problem, result.problemSubject, result.lengths,
                                   result.outputFault) +
                    ")\n";
            break;
        case JobOutcome::NotStarted: {
            const CommandRecord* failed = result.FirstProblem();
            text += "could not start: " +
                    PrintableText(failed != nullptr ? LaunchFailureText(failed->launchFailure)
                                                    : std::string()) +
                    "\n";
            if (failed != nullptr && !failed->commandLine.empty()) {
                text += "    command: " + PrintableText(failed->commandLine) + "\n";
            }
            break;
        }
    }
    return text;
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
    return text + "\n";
}

}  // namespace palomix
