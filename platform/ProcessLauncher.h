// Starting the converters. A launcher starts one prepared command line as a hidden child
// process, never through a shell, and reports its end later; it never waits itself. The batch
// run starts a process, returns to the host's event loop, and goes on when the host hands it
// "that process ended" on its own thread.
//
// Threads: a launcher learns of a process's end on a thread of its own. It then hands a task to
// the host through the PostToHost function it was made with; the host runs that task on its
// own thread (the window: a queued call onto the UI thread; palomix-batch: its event queue),
// and the task calls the ProcessEndedHandler given to Launch. So the handler always runs on the
// host's thread, never inside Launch, and never on the launcher's threads.
//
// Output: each launched command writes its standard output and standard error into a log file
// of its own, in a private temporary folder that the launcher removes when it is destroyed.
// Nothing is read through a pipe, so a converter that writes a lot never blocks. Standard input
// is empty (the null device).
//
// Stopping: a stop reaches everything the command started, not only the program itself: on
// Windows every command runs in a job object of its own; on Linux the launcher finds the
// command's processes by its process group, its process tree and a mark in their environment
// (PALOMIX_COMMAND), so that a helper that left the group, or whose parent has ended, is
// stopped too.
#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace palomix {

// Names one launched process for Terminate and DiscardLog. Never 0 for a launched process,
// and never reused by the launcher that gave it out.
struct ProcessHandle {
    std::uint64_t id = 0;

    friend auto operator<=>(const ProcessHandle&, const ProcessHandle&) = default;
};

// How a process ended: by exiting with a code, or (POSIX only) by a signal.
struct ProcessExit {
    enum class Kind { Exited, Signalled };
    Kind kind = Kind::Exited;
    int code = 0;  // the exit code, or the number of the signal that ended the process
    // The launcher ended it because it ran longer than its time limit (LaunchOptions).
    bool timeLimitReached = false;

    bool Succeeded() const { return kind == Kind::Exited && code == 0 && !timeLimitReached; }
    friend bool operator==(const ProcessExit&, const ProcessExit&) = default;
};

// "exit code 3", "signal 9", "signal 15 after the time limit".
std::string DescribeExit(const ProcessExit& exit);

// Why a command line could not be started.
enum class LaunchError {
    EmptyLine,        // the line names no program
    ProgramNotFound,  // no reading of the line's start names a program that exists
    SystemError,      // the system refused to start the program (systemCode)
    Refused,          // the launcher takes no more commands
    // An unquoted program path with blanks found a program other than the one the line names
    // as a whole (platform/ProgramResolution.h): `program` is the one found, `meant` the other.
    AmbiguousProgram,
};

struct LaunchFailure {
    LaunchError error = LaunchError::EmptyLine;
    std::string program;  // the program as the line names it (its first reading)
    int systemCode = 0;   // SystemError: errno on POSIX, GetLastError() on Windows
    // The launcher's own wording, in English, for logs and for what the codes above miss.
    std::string detail;
    std::string meant = {};  // AmbiguousProgram: the program the line names as a whole

    friend bool operator==(const LaunchFailure&, const LaunchFailure&) = default;
};

// How a command is run, beyond its command line.
struct LaunchOptions {
    // Below the host's priority (POSIX: a niceness 10 higher; Windows: below normal), so that
    // a long conversion leaves the computer usable.
    bool lowPriority = false;
    // When the command runs longer than this, it is stopped as Terminate stops it (with
    // everything it started) and its end says timeLimitReached.
    std::optional<std::chrono::milliseconds> timeLimit;

    friend bool operator==(const LaunchOptions&, const LaunchOptions&) = default;
};

struct LaunchResult {
    bool launched = false;
    ProcessHandle handle;  // when launched
    // When launched: the file that receives the program's output and errors. Empty when no
    // log file could be made (the output is then thrown away, the program still runs).
    std::string logPath;
    // When not launched: why, naming the program ("the command line is empty", "the program
    // \"/opt/x\" was not found", ...).
    std::string reason;
    // When not launched: why, as a value.
    LaunchFailure failure = {};
};

// Called on the host's thread when a launched process has ended.
using ProcessEndedHandler = std::function<void(ProcessHandle, ProcessExit)>;

// Runs a task on the host's thread, later. Called from the launcher's own threads, so it must
// be safe to call from any thread; it must not run the task before returning.
using PostToHost = std::function<void(std::function<void()>)>;

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;

    // Starts the command line and returns at once. The program is found as Windows finds it
    // (platform/CommandLineSplit.h: the first candidate that names a program; on POSIX an
    // executable regular file, a name without '/' looked up on PATH; on Windows as the system
    // searches, ".exe" added to a name without an extension). It is started with the path
    // found as its argument 0 and the arguments of the text after the program (on Windows:
    // the command line `"path found"` and that text, for its C runtime to split), so a program
    // path with blanks needs no quotes. It runs in this program's current folder and
    // environment, without a window, in a process group of its own (POSIX), and on POSIX it
    // is killed when the thread that called Launch ends (the host's thread is meant; also
    // when the host is killed). An empty line, or one whose program cannot be found or
    // started, is not launched. `onEnded` is posted to the host once the process has ended
    // (see above).
    virtual LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) = 0;

    // The same with options. A launcher that does not implement options runs a command with
    // the default options and refuses (not launched, with a reason) one that asks for more.
    virtual LaunchResult Launch(const std::string& commandLine, const LaunchOptions& options,
                                ProcessEndedHandler onEnded);

    // Asks a running process to end, with everything it started: Windows terminates its job
    // object; POSIX sends a terminate signal to its process group and every process found to
    // belong to the command, then, 2 seconds later (without blocking the caller), a kill
    // signal to whatever of them is still there, whether or not the program itself has ended
    // by then. False when the process has already ended, even if its end has not been handed
    // to the host yet, and for a handle this launcher did not give out. Never signals a
    // process that is not the command's: the program is not released by the system before its
    // end has been recorded, and every other process is checked before it is signalled.
    virtual bool Terminate(ProcessHandle handle) = 0;

    // Removes the log file of a process that has ended (once its tail has been read, say).
    // Nothing happens while it runs, or for an unknown handle.
    virtual void DiscardLog(ProcessHandle handle) = 0;

    // A temporary file this program has made and will itself remove or rename: written down
    // beside the logs, so that if this program is killed, the next start removes it (only it:
    // not a file that someone put at its name since). Forget it once it is removed or renamed.
    // A launcher with no log folder keeps no such list.
    virtual void NoteTemporary(const std::string& /*path*/) {}
    virtual void ForgetTemporary(const std::string& /*path*/) {}
};

// The launcher of the system the program runs on. Lives as long as the program: destroying it
// kills the processes still running, with everything they started (and what earlier commands
// left running), waits for them, without posting their ends, and removes the log folder. It
// must not be destroyed from within the PostToHost function.
//
// Making it also removes the log folders that launchers of killed hosts left behind (only
// this user's, only those whose owner is gone), with the temporary files those hosts noted
// (still the same files), and ends what those hosts' commands left running. On Linux it makes this
// program a child subreaper, so that the processes a command leaves behind become this program's
// children, where the launcher can still stop them; it reaps those it knows, and never takes the
// end of a launched command, or of a child it did not find among a command's processes.
std::unique_ptr<ProcessLauncher> SystemProcessLauncher(PostToHost post);

// A launcher that starts nothing: every launch is refused (LaunchError::Refused). For callers
// that only plan, such as a dry run.
std::unique_ptr<ProcessLauncher> RefusingLauncher();

}  // namespace palomix
