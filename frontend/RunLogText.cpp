#include "frontend/RunLogText.h"

#include <chrono>
#include <cstdio>

#include "palomix/BuildInfo.h"

namespace palomix {

namespace {

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string_view LicenceWords(ConverterVersion::Licence licence) {
    switch (licence) {
        case ConverterVersion::Licence::Gpl3:
            return "GPL 3";
        case ConverterVersion::Licence::Gpl2:
            return "GPL 2";
        case ConverterVersion::Licence::Lgpl3:
            return "LGPL 3";
        case ConverterVersion::Licence::Lgpl21:
            return "LGPL 2.1";
        case ConverterVersion::Licence::NonFree:
            return "non-free";
        case ConverterVersion::Licence::Unknown:
            break;
    }
    return "licence not known";
}

std::string_view OutcomeWords(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::Done:
            return "done";
        case JobOutcome::Failed:
            return "failed";
        case JobOutcome::Stopped:
            return "stopped";
        case JobOutcome::NotStarted:
            return "not started";
        case JobOutcome::Skipped:
            return "skipped";
    }
    return "ended";
}

std::string_view ProblemWords(JobProblem problem) {
    switch (problem) {
        case JobProblem::None:
            return "none";
        case JobProblem::NothingToRun:
            return "the command has no command line to run";
        case JobProblem::SettingsUnreadable:
            return "the settings file cannot be read";
        case JobProblem::OutputExists:
            return "an output file exists";
        case JobProblem::NotConvertible:
            return "not a file type the command takes";
        case JobProblem::TooLargeForPlayer:
            return "an output grew too large for the player's card";
        case JobProblem::NoFreeName:
            return "no free name for the outputs";
        case JobProblem::OutputNotKept:
            return "a finished output could not be put under its name";
        case JobProblem::OutputNotMade:
            return "an output's temporary file could not be made";
        case JobProblem::OutputMissing:
            return "an output was not written";
        case JobProblem::OutputEmpty:
            return "an output is empty";
        case JobProblem::OutputUnreadable:
            return "an output cannot be read to its end";
        case JobProblem::OutputTooShort:
            return "an output is much shorter than its input";
        case JobProblem::EncoderMissing:
            return "needs an encoder this ffmpeg lacks";
        case JobProblem::FormatMissing:
            return "needs a format this ffmpeg lacks";
    }
    return "a problem";
}

std::string_view FaultWords(OutputFault fault) {
    switch (fault) {
        case OutputFault::None:
            break;
        case OutputFault::NotMedia:
            return "no media the probe can read";
        case OutputFault::NoStream:
            return "no stream of the kinds its command makes";
        case OutputFault::NoLength:
            return "no packet with a time";
        case OutputFault::Cut:
            return "it breaks off before its end";
        case OutputFault::ProbeCrashed:
            return "the probe crashed";
        case OutputFault::ProbeTimedOut:
            return "the probe took too long";
    }
    return "";
}

std::string_view RunEndWords(RunEndReason reason) {
    switch (reason) {
        case RunEndReason::QueueEmpty:
            return "every job has left the list";
        case RunEndReason::LaunchFailed:
            return "a command line could not be started";
        case RunEndReason::NothingSelected:
            return "no conversion command is chosen";
        case RunEndReason::Interrupted:
            return "stopped";
        case RunEndReason::OutputFolderUnusable:
            return "the output folder could not be made";
        case RunEndReason::FinishedEarly:
            return "asked to end after the jobs converting";
    }
    return "ended";
}

std::string NotRunWords(const NotRun& notRun) {
    switch (notRun.reason) {
        case NotRunReason::PlayerNotAttached:
            return "not run: no " + notRun.subject + " is attached";
        case NotRunReason::TooLong:
            return "not run: the template is " + std::to_string(notRun.bytes) +
                   " bytes long, more than a line may hold";
        case NotRunReason::SettingsUnreadable:
            return "not run: the settings file " + Quoted(notRun.subject) + " cannot be read";
        case NotRunReason::AmbiguousProgram:
            return "not run: the line names " + Quoted(notRun.meant) +
                   " without quotes, and would start " + Quoted(notRun.subject);
    }
    return "not run";
}

std::string LaunchWords(const LaunchFailure& failure) {
    std::string words = "could not be started";
    if (!failure.program.empty()) {
        words += ": program " + Quoted(failure.program);
    }
    if (failure.systemCode != 0) {
        words += ", system error " + std::to_string(failure.systemCode);
    }
    if (!failure.detail.empty()) {
        words += " (" + failure.detail + ")";
    }
    return words;
}

std::string CommandEndWords(const CommandRecord& command) {
    switch (command.state) {
        case CommandState::Succeeded:
        case CommandState::Failed:
            return DescribeExit(command.exit);
        case CommandState::Stopped:
            return "stopped";
        case CommandState::NotRun:
            return NotRunWords(command.notRun);
        case CommandState::NotLaunched:
            return LaunchWords(command.launchFailure);
    }
    return "ended";
}

void AppendOutput(std::string& text, const CommandRecord& command) {
    for (const std::string& line : command.logHead) {
        text += "      | " + line + "\n";
    }
    if (command.logCut) {
        text += "      | [...]\n";
    }
    for (const std::string& line : command.logTail) {
        text += "      | " + line + "\n";
    }
}

std::string ProblemText(const JobResult& result) {
    std::string text = std::string(ProblemWords(result.problem));
    if (result.problem == JobProblem::OutputTooShort) {
        text += " (" + OneDecimal(result.lengths.output) + " s against " +
                OneDecimal(result.lengths.input) + " s)";
    }
    if (result.problem == JobProblem::OutputUnreadable && result.outputFault != OutputFault::None) {
        text += " (" + std::string(FaultWords(result.outputFault)) + ")";
    }
    if (!result.problemSubject.empty()) {
        text += ": " + result.problemSubject;
    }
    return text;
}

std::string_view ExistingWords(ExistingOutputs existing) {
    switch (existing) {
        case ExistingOutputs::Overwrite:
            return "overwritten";
        case ExistingOutputs::KeepBoth:
            return "kept beside a new one";
        case ExistingOutputs::Skip:
            return "skipped";
    }
    return "overwritten";
}

std::string_view YesNo(bool on) {
    return on ? "yes" : "no";
}

}  // namespace

std::string TimeNowText(bool forName) {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[40];
    std::snprintf(text, sizeof text,
                  forName ? "%04d%02u%02u-%02d%02d%02d" : "%04d-%02u-%02u %02d:%02d:%02d UTC",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::string ConverterText(const ConverterFacts& converter) {
    switch (converter.state) {
        case ConverterFacts::State::Absent:
            return "no ffmpeg in cores";
        case ConverterFacts::State::Reading:
            return "ffmpeg of cores, being asked for its version";
        case ConverterFacts::State::Unreadable:
            return "ffmpeg of cores, which gave no answer that could be read";
        case ConverterFacts::State::Known:
            break;
    }
    if (!converter.version) {
        return "ffmpeg of cores, which names no version";
    }
    return "ffmpeg " + converter.version->version + " (" +
           std::string(LicenceWords(converter.version->licence)) + ")";
}

std::string HeadingText(const RunLogHeading& heading) {
    std::string text = "Palomix run log\n";
    text += "Started: " + heading.started + "\n";
    text += "Program: " + heading.program + " " + std::string(kVersion);
    if (!kLicence.empty()) {
        text += " (" + std::string(kLicence) + ")";
    }
    text += "\nProgram folder: " + heading.programFolder + "\n";
    text += "Converter: " + ConverterText(heading.converter) + "\n";
    text += "Media probe: " +
            (heading.converter.probeWay.empty() ? std::string("none, outputs are not checked")
                                                : heading.converter.probeWay) +
            "\n";
    if (heading.command) {
        text += "Settings file: " + heading.command->settingsFile + "\n";
        text += "Command: item " + std::to_string(heading.command->itemNumber);
        if (!heading.commandTitle.empty()) {
            text += " " + Quoted(heading.commandTitle);
        }
        text += "\n";
    } else {
        text += "Command: none chosen\n";
    }
    text += "Output folder: " + heading.outputFolder + "\n";
    text += "Simultaneous jobs: " +
            (heading.simultaneousJobs == 0 ? std::string("one per core")
                                           : std::to_string(heading.simultaneousJobs)) +
            "; existing outputs " + std::string(ExistingWords(heading.existing)) +
            "; keep dates: " + std::string(YesNo(heading.keepDates)) +
            "; keep folder trees: " + std::string(YesNo(heading.keepTree)) + "\n\n";
    return text;
}

std::string JobStartText(int number, const JobStart& start) {
    return "[" + std::to_string(number) + "] " + start.path + " started" +
           (start.outputName.empty() ? std::string()
                                     : ", outputs named " + Quoted(start.outputName)) +
           "\n";
}

std::string JobEndText(int number, const JobResult& result) {
    std::string text = "[" + std::to_string(number) + "] " + result.path + ": " +
                       std::string(OutcomeWords(result.outcome)) + " after " +
                       ElapsedTimeText(result.elapsedSeconds) + "\n";
    for (const CommandRecord& command : result.commands) {
        text += "    line " + std::to_string(command.templateNumber) + ": " + command.commandLine +
                "\n";
        text += "      ended: " + CommandEndWords(command) + "\n";
        AppendOutput(text, command);
    }
    if (result.problem != JobProblem::None) {
        text += "    problem: " + ProblemText(result) + "\n";
    }
    if (result.outputsNotChecked) {
        text += "    outputs not checked: no way to probe them\n";
    }
    for (const std::string& output : result.outputs) {
        text += "    output: " + output + "\n";
    }
    return text;
}

std::string RunEndText(const RunEnd& end) {
    std::string text =
        "\nEnded: " + TimeNowText(false) + ": " + std::string(RunEndWords(end.reason));
    if (end.reason == RunEndReason::OutputFolderUnusable) {
        text += " (" + end.folder + ": " + end.error.message() + ")";
    }
    const RunTally& tally = end.tally;
    text += "\n" + std::to_string(tally.done) + " done, " + std::to_string(tally.failed) +
            " failed, " + std::to_string(tally.stopped) + " stopped, " +
            std::to_string(tally.notRun) + " not started, " + std::to_string(tally.skipped) +
            " skipped\n";
    return text;
}

}  // namespace palomix
