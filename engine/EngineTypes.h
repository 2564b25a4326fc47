// The values that pass through the core's door (engine/Engine.h): what a front end hands in
// and what the core tells it back, as whole facts. Reasons are values with their data, never
// sentences: each front end says them in its own words and language. Nothing here refers to
// the core's insides, so a front end that includes this header sees no more of the core than
// its door.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/PathRules.h"
#include "platform/ProcessLauncher.h"
#include "settings/CatalogueTypes.h"
#include "settings/Language.h"

namespace palomix {

// --- Jobs ------------------------------------------------------------------------------------

using JobId = std::uint64_t;

enum class JobState : std::uint8_t {
    Waiting,     // waits for its turn
    Converting,  // its run timer shows the seconds counted
    NotStarted,  // a command line of it could not be started; it stays in the list
};

struct JobStatus {
    JobState state = JobState::Waiting;
    std::int32_t seconds = 0;  // Converting, NotStarted: the seconds last shown
    std::string program;       // NotStarted: the name of the program that could not start

    friend bool operator==(const JobStatus&, const JobStatus&) = default;
};

// One job of the list as the door shows it. The views look into the list: they stay valid
// until the list next changes.
struct JobView {
    JobId id = 0;
    std::string_view path;       // the full path
    std::string_view fileName;   // the part of the path after its last separator
    std::string_view subfolder;  // below the folder it was dropped with; "" for none
    // The command it is converted with; nullopt: the one chosen when its turn comes.
    const ChosenCommand* command = nullptr;
    // The output folder it was queued with; "" for the one chosen when its turn comes.
    std::string_view outputFolder = {};
};

// A file put into the list as it is (a queue kept from an earlier start, a watched folder).
struct JobEntry {
    std::string path;
    std::string subfolder = {};
    std::optional<ChosenCommand> command = {};  // nullopt: the command chosen at its turn
    std::string outputFolder = {};              // "": the output folder chosen at its turn

    friend bool operator==(const JobEntry&, const JobEntry&) = default;
};

// What happens when an output file exists from before the run.
enum class ExistingOutputs {
    Overwrite,  // the finished output replaces it
    KeepBoth,   // the new output gets a numbered name
    Skip,       // the job is skipped
};

// --- Taking paths in -------------------------------------------------------------------------

// Why a path added no job.
enum class SkipReason {
    NotFound,    // it cannot be looked up: missing, or ending in a separator (a whole drive)
    Unreadable,  // a folder that cannot be read (error says why)
    TooLong,     // a path longer than a converter can open
};

struct SkippedPath {
    std::string path;
    SkipReason reason = SkipReason::NotFound;
    int error = 0;  // Unreadable: the system's error code

    friend bool operator==(const SkippedPath&, const SkippedPath&) = default;
};

struct IntakeResult {
    std::int32_t jobsAdded = 0;
    std::vector<SkippedPath> skipped;  // in the order given
};

// --- What became of a job ------------------------------------------------------------------------

// How many lines of a command's log a result keeps: the last ones (shown for a failure), and
// the first ones before them.
inline constexpr std::size_t kFailedCommandLogLines = 20;
inline constexpr std::size_t kCommandLogHeadLines = 20;

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
    // subject: the program found for an unquoted program path with blanks, which is not the one
    // the line names as a whole (`meant`): a stray program found first, say "/opt/Program"
    // for "/opt/Program Files/cores/ffmpeg".
    AmbiguousProgram,
};

struct NotRun {
    NotRunReason reason = NotRunReason::PlayerNotAttached;
    std::string subject;
    std::size_t bytes = 0;
    std::string meant = {};  // AmbiguousProgram: the program the line names as a whole

    friend bool operator==(const NotRun&, const NotRun&) = default;
};

struct CommandRecord {
    int templateNumber = 0;   // the number of its command template
    std::string commandLine;  // as prepared (empty when it could not be prepared)
    CommandState state = CommandState::Succeeded;
    ProcessExit exit;  // Succeeded, Failed, Stopped
    // Succeeded, Failed: the first and the last lines of its output, oldest first, without the
    // converter's statistics lines (a short output is split between them, each line once).
    // `logCut`: lines between them were left out. A failure shows its tail.
    std::vector<std::string> logHead;
    std::vector<std::string> logTail;
    bool logCut = false;
    NotRun notRun;                // NotRun
    LaunchFailure launchFailure;  // NotLaunched
};

// Why a job failed or was skipped without any of its lines being to blame.
enum class JobProblem {
    None,
    NothingToRun,        // the command has no command line at all (all empty or tool lines)
    SettingsUnreadable,  // the settings file could not be read (subject: its path)
    OutputExists,        // skipped: an output file exists already (subject: its path)
    NotConvertible,      // skipped: not a file type the command takes (subject: its extension)
    TooLargeForPlayer,   // an output grew to the 4 GiB a FAT32 card holds in one file (subject:
                         // the output); its line stopped there or the card refused more
    NoFreeName,          // no free numbered name was found for the outputs
    OutputNotKept,       // a finished output could not be put under its name (subject: path)
    OutputNotMade,       // an output's temporary file could not be made where it goes (subject:
                         // the output's path): the folder refuses it, or something stood there
    // The check of a finished job's outputs; subject: the output's path under its final name.
    OutputMissing,     // a media file the lines name was not written
    OutputEmpty,       // an output holds no byte
    OutputUnreadable,  // the probe cannot read an output
    OutputTooShort,    // an output lasts much less than the input (see JobResult::lengths)
    // The command needs what the local ffmpeg lacks; subject: the name. The job was not started.
    EncoderMissing,  // an encoder ("libfaac")
    FormatMissing,   // an output format ("psp")
};

// Why an output cannot be played to its end (OutputUnreadable).
enum class OutputFault {
    None,
    NotMedia,       // the probe finds no media in it (random bytes, a damaged header)
    NoStream,       // it holds no stream of the kinds its command makes
    NoLength,       // it holds no packet with a time, and is no picture
    Cut,            // its packets end in damage before the end of the file
    ProbeCrashed,   // the probe ended while reading it (it is started again for the next file)
    ProbeTimedOut,  // the probe took longer than its time limit
};

// How long an output and its input last, in seconds (OutputTooShort).
struct OutputLengths {
    double output = 0;
    double input = 0;

    friend bool operator==(const OutputLengths&, const OutputLengths&) = default;
};

// "4.1": a length in seconds, or a share, with one decimal, as both front ends show them.
std::string OneDecimal(double value);
// "HH:MM:SS" for a number of seconds: each part at least two digits, the hours unbounded
// (360000 gives "100:00:00"). A negative number counts as 0.
std::string ElapsedTimeText(std::int64_t seconds);

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
    std::string problemSubject;                   // see JobProblem
    OutputLengths lengths;                        // OutputTooShort
    OutputFault outputFault = OutputFault::None;  // OutputUnreadable
    // A done job whose outputs were not checked because the program folder has cores/ffmpeg
    // but no way to probe them: a note for the user, no failure.
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

// How the jobs of a run ended, counted as they end.
struct RunTally {
    int done = 0;
    int failed = 0;
    int stopped = 0;
    int notRun = 0;   // not started (a front end adds those its run never reached)
    int skipped = 0;  // left out on purpose (an output that exists, a file of another type)

    void Add(JobOutcome outcome);
    friend bool operator==(const RunTally&, const RunTally&) = default;
};

// --- The run -------------------------------------------------------------------------------------

// Why a run ended.
enum class RunEndReason {
    QueueEmpty,            // every job has left the list
    LaunchFailed,          // a command line could not be started; its job stays at the top
    NothingSelected,       // no conversion command is chosen; no job was started
    Interrupted,           // every job was stopped; the jobs not reached stay in the list
    OutputFolderUnusable,  // the output folder could not be made; the jobs stay in the list
    FinishedEarly,         // asked to end after the jobs converting; the others stay
};

struct RunEnd {
    RunEndReason reason = RunEndReason::QueueEmpty;
    std::string folder;     // OutputFolderUnusable: the folder
    std::error_code error;  // OutputFolderUnusable: why it could not be made
    RunTally tally;         // how the jobs of the run ended
};

struct JobStart {
    JobId id = 0;
    std::string path;
    std::string outputName;  // the name its outputs get (see JobResult::outputName)
};

struct CommandStart {
    JobId id = 0;
    int templateNumber = 0;
    std::string commandLine;
};

// One job's progress for the front ends. Every number is finite and within its range: what a
// converter says beyond any media is left out, never passed on.
struct JobProgress {
    int line = 0;                             // the command line converting now, from 1
    int lines = 0;                            // the lines of the job that run
    std::optional<double> linePercent;        // of the current line, 0 to 100
    std::optional<double> percent;            // of the whole job, 0 to 100
    std::optional<double> speed;              // of the current line
    std::optional<std::int64_t> secondsLeft;  // of the job; none in its first seconds
    // The name the job's outputs get instead of the input's own ("clip (2)"), because an output
    // of this run already has that name; empty when they keep it.
    std::string renamedTo = {};
};

// The whole run's progress.
struct QueueProgress {
    int jobsLeft = 0;
    std::optional<double> percent;
    std::optional<std::int64_t> secondsLeft;
};

// --- Plans and the converter -----------------------------------------------------------------

// Something a command line needs the converter to offer.
struct ConverterNeed {
    enum class Kind {
        Encoder,  // -c:v NAME and the like: an encoder, or a codec some encoder writes
        Format,   // -f NAME before an output: an output format (a muxer)
    };
    Kind kind = Kind::Encoder;
    std::string name;

    friend bool operator==(const ConverterNeed&, const ConverterNeed&) = default;
};

// What a command needs of cores/ffmpeg that it does not offer.
struct CommandCheck {
    enum class State {
        NotChecked,  // there is no cores/ffmpeg, or its lists cannot be read: nothing is known
        Reading,     // its lists are being read: EngineObserver::ConverterChecked follows
        Checked,     // `missing` holds what the command needs and it lacks (maybe nothing)
    };
    State state = State::NotChecked;
    std::vector<ConverterNeed> missing;
};

// What "ffmpeg -version" says: the version, and the licence its configuration line implies.
struct ConverterVersion {
    enum class Licence { Unknown, Gpl3, Gpl2, Lgpl3, Lgpl21, NonFree };
    std::string version;
    Licence licence = Licence::Unknown;

    friend bool operator==(const ConverterVersion&, const ConverterVersion&) = default;
};

// What is known of cores/ffmpeg, and how media files are probed.
struct ConverterFacts {
    enum class State {
        Absent,      // there is no cores/ffmpeg
        Reading,     // it is being asked: EngineObserver::ConverterChecked follows
        Known,       // it answered (its version, when it named one)
        Unreadable,  // it gave no answer that could be read
    };
    State state = State::Absent;
    std::optional<ConverterVersion> version;
    // How inputs and outputs are probed ("ffprobe per file"); empty when they are not.
    std::string probeWay;
};

// A file a line writes.
struct LineOutput {
    std::string path;   // as it stands in the line
    std::string rest;   // what follows the output name in its file name ("_720p.mp4")
    std::string drive;  // the player's drive when it goes onto a player; empty otherwise

    // The same file under another output name (a player's card gets the name made safe).
    std::string Renamed(std::string_view name, PathStyle style) const;
};

// One command line of a job, as the run policy decided it.
struct PlannedLine {
    int templateNumber = 0;
    std::string commandLine;  // the prepared line (set also for most lines not run)
    // The line read once as the launcher reads it: the program the line names as it is written
    // (its first reading), and the arguments that follow it.
    std::string program;
    std::vector<std::string> arguments;
    std::optional<NotRun> notRun;  // set: the line is not started, and why
    std::vector<LineOutput> outputs;

    bool Runs() const { return !notRun.has_value(); }
};

// Every line of a job, in order.
struct JobPlan {
    std::vector<PlannedLine> lines;
    JobProblem problem = JobProblem::None;
    std::string problemSubject;  // SettingsUnreadable: the settings file; NotConvertible: the type
    std::string outputFolder;    // the folder its outputs go to (keep-tree applied)

    // True when the job would be reported as failed (or skipped) before any converter ran: a
    // problem of the job or a line that is not run.
    bool FailsAhead() const;
    // The outputs of every line, each path once, in order.
    std::vector<LineOutput> Outputs() const;
    // The same, each handed to `use` in place (no copies: asked once a job when a plan is made).
    template <typename Use>
    void EachOutput(Use&& use) const {
        for (std::size_t l = 0; l < lines.size(); ++l) {
            for (const LineOutput& output : lines[l].outputs) {
                if (!SeenBefore(l, &output)) {
                    use(output);
                }
            }
        }
    }

private:
    // True when an output of an earlier line, or earlier in line `l`, has the same path.
    bool SeenBefore(std::size_t l, const LineOutput* output) const;
};

// --- The settings ------------------------------------------------------------------------------

// A settings file of the catalogue with its command list (palomix-batch --list).
struct CatalogueListing {
    CatalogueEntry file;
    std::vector<CommandRow> commands;
};

// --- Watched folders ---------------------------------------------------------------------------

using WatchId = std::uint64_t;

// What a watched folder converts, and how.
struct WatchSettings {
    std::string folder;        // the folder watched
    ChosenCommand command;     // what its files are converted with
    std::string outputFolder;  // where their outputs go
    bool subfolders = false;   // the files of its subfolders count too
    // Looks once, converts the files that are complete then and ends (palomix-batch --once):
    // files still being written are left for the next look.
    bool once = false;

    friend bool operator==(const WatchSettings&, const WatchSettings&) = default;
};

// The times a watch keeps; tests and the benchmark make them shorter.
struct WatchTiming {
    // A file is complete when its size and modification time stay the same this long (and,
    // where the system tells closes after writing, no writer holds it open).
    std::chrono::milliseconds settle{2000};
    // Every watched folder is looked through again this often, for what no event told.
    std::chrono::milliseconds rescan{60000};
    // A watched folder that is missing is looked for again this often.
    std::chrono::milliseconds lookAgain{5000};
    // Files being settled are looked at this often where the system does not tell every write.
    std::chrono::milliseconds poll{100};
    // A file a writer holds open but that has stayed the same this long is taken all the same.
    std::chrono::milliseconds openWriterPatience{60000};
};

enum class WatchState {
    Watching,
    Paused,         // by the user
    FolderMissing,  // the folder cannot be read (WatchView::error says why): looked for again
    Finished,       // a watch that looks once has looked
};

// A file of a watch that did not convert: it is not tried again until the user asks (or it is
// replaced by a new file).
struct WatchFailure {
    std::string path;  // the full path
    // How it ended (failed or stopped) and why: the job's problem, or its first command that did
    // not succeed (without the converter's output).
    JobResult result;
};

struct WatchView {
    WatchId id = 0;
    WatchSettings settings;
    WatchState state = WatchState::Watching;
    std::error_code error;  // FolderMissing: why the folder cannot be read
    // The record of what was converted cannot be kept in `recordFile` (why): after a restart
    // the files would be converted again.
    std::error_code recordError;
    std::string recordFile;
    // Some of its folders are not told by the system's events (its limit is reached): changes
    // there are found by the rescans alone.
    bool rescansOnly = false;
    std::int64_t converted = 0;  // files of its record converted
    std::int32_t settling = 0;   // files found and not complete yet
    std::int32_t queued = 0;     // files in the job list
    std::int32_t leftBusy = 0;   // a watch that looks once: files still being written, left
    std::vector<WatchFailure> failures;
};

}  // namespace palomix
