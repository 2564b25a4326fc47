// What became of one job of a batch run, as whole facts for the front ends: the window lists
// the jobs that did not convert, palomix-batch prints every result. Reasons are values with
// their data, never sentences: each front end says them in its own words and language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/JobQueue.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

// How many lines of a failed command's log a result keeps.
inline constexpr std::size_t kFailedCommandLogLines = 20;

enum class JobOutcome {
    Done,        // at least one command ran, every command ran and succeeded
    Failed,      // a command failed, or a line could not be run; the job left the list
    Stopped,     // the user stopped the job's running command; the job left the list
    NotStarted,  // a command of the job could not be started; the job stays in the list
    Skipped,     // the job was not converted on purpose (see problem); it left the list
};

// What became of one command line of a job.
enum class CommandState {
    Succeeded,    // ran and ended with exit code 0
    Failed,       // ran and ended with another code or by a signal (see exit)
    Stopped,      // ran and was ended by the user
    NotRun,       // not started, for the reason in notRun
    NotLaunched,  // the launcher could not start it (see launchFailure)
};

// Why a prepared line was not started.
enum class NotRunReason {
    PlayerNotAttached,   // subject: the player ("PSP", "WALKMAN"); the line names no folder
    TooLong,             // bytes: the template's length; it would have been run cut
    SettingsUnreadable,  // subject: the settings file, which could not be read
};

struct NotRun {
    NotRunReason reason = NotRunReason::PlayerNotAttached;
    std::string subject;
    std::size_t bytes = 0;

    friend bool operator==(const NotRun&, const NotRun&) = default;
};

struct CommandRecord {
    int templateNumber = 0;   // the number of its command template
    std::string commandLine;  // as prepared (empty when it could not be prepared)
    CommandState state = CommandState::Succeeded;
    ProcessExit exit;                  // Succeeded, Failed, Stopped
    std::vector<std::string> logTail;  // Failed: the last lines of its output, oldest first
    NotRun notRun;                     // NotRun
    LaunchFailure launchFailure;       // NotLaunched
};

// Why a job failed or was skipped without any of its lines being to blame.
enum class JobProblem {
    None,
    NothingToRun,        // the command has no command line at all (all empty or tool lines)
    SettingsUnreadable,  // the settings file could not be read (subject: its path)
    OutputExists,        // skipped: an output file exists already (subject: its path)
    NotConvertible,      // skipped: not a file type the command takes (subject: its extension)
    TooLargeForPlayer,   // the file is larger than the player's FAT32 card can hold (subject: path)
    NoFreeName,          // no free numbered name was found for the outputs
    OutputNotKept,       // a finished output could not be put under its name (subject: path)
    // The check of a finished job's outputs (engine/OutputCheck.h); subject: the output's path
    // under its final name.
    OutputMissing,     // a media file the lines name was not written
    OutputEmpty,       // an output holds no byte
    OutputUnreadable,  // ffprobe cannot read an output
    OutputTooShort,    // an output lasts much less than the input (see JobResult::lengths)
    // The command needs what the local ffmpeg lacks (engine/ConverterFeatures.h); subject: the
    // name. The job was not started.
    EncoderMissing,  // an encoder ("libfaac")
    FormatMissing,   // an output format ("psp")
};

// How long an output and its input last, in seconds (OutputTooShort).
struct OutputLengths {
    double output = 0;
    double input = 0;

    friend bool operator==(const OutputLengths&, const OutputLengths&) = default;
};

// "4.1": a length in seconds, or a share, with one decimal, as both front ends show them.
std::string OneDecimal(double value);

struct JobResult {
    JobId id = 0;
    std::string path;  // full path of the job
    JobOutcome outcome = JobOutcome::Done;
    // The time shown last in the job's status cell: the run timer's ticks, in seconds.
    std::int32_t elapsedSeconds = 0;
    // The lines the job ran or meant to run, in order: silent skips (empty and tool lines)
    // are not among them.
    std::vector<CommandRecord> commands;
    JobProblem problem = JobProblem::None;
    std::string problemSubject;  // see JobProblem
    OutputLengths lengths;       // OutputTooShort
    // A done job whose outputs were not checked because the program folder has cores/ffmpeg
    // but no cores/ffprobe (or it could not be started): a note for the user, no failure.
    bool outputsNotChecked = false;
    // The name the job's outputs were given: its BaseName, or "NAME (2)" and so on when that
    // name was taken. Empty when the job never began converting.
    std::string outputName;
    // The files the job made (or meant to make), under their final names.
    std::vector<std::string> outputs;

    // Commands launched for the job, the running one of a stopped job included.
    int CommandsRun() const;
    // The first command that did not succeed; nullptr when there is none.
    const CommandRecord* FirstProblem() const;
};

}  // namespace palomix
