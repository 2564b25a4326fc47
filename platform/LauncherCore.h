// The system launcher's bookkeeping, the same on every system: the launched commands and their
// log files in one private log folder (each written from the command's output by a thread of
// its own, kept to its head and tail: platform/CappedLog.h), the thread that waits for each
// command's end and hands it to the host, the timing of stops (the grace between asking and
// killing, the time limit), and the clean-up of log folders that killed hosts left behind. The
// system's own calls — find a program, start it, wait for it, stop it and what it started — come
// through the small NativeLauncher interface, which platform/posix and platform/win32 implement.
//
// Locking: the core calls NativeProcess with its lock held, except WaitForEnd, which blocks on
// the command's waiting thread. So a process is never signalled while it is being released.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/CappedLog.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

// One started command as the system knows it.
class NativeProcess {
public:
    virtual ~NativeProcess() = default;
    // Blocks until the program has ended, without releasing it: until Release its id stays
    // its own. Called once, on the waiting thread, without the core's lock.
    virtual void WaitForEnd() = 0;
    // True once the program has ended, whether it has been released or not.
    virtual bool HasEnded() = 0;
    // Gives the ended program back to the system; how it ended. Called once, after WaitForEnd.
    virtual ProcessExit Release() = 0;
    // Asks the program and everything it started to end (`force` false), or kills them
    // (`force` true). Also called once the program itself has ended, to reach what it left.
    virtual void Stop(bool force) = 0;
};

// A command's standard output and error on their way to its log: the reading end of the pipe
// they go to.
class NativeOutput {
public:
    virtual ~NativeOutput() = default;
    // Waits for output and reads some into `buffer`: the bytes read; 0 once the output has ended
    // (everything that could write to it has gone) or, after Finish, once nothing more is there.
    // Called on the command's draining thread only.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // The program has ended: Read no longer waits for more than what is there already (what
    // the program itself wrote), so that what it left running cannot hold the log open.
    virtual void Finish() = 0;
};

// What the system is asked to start.
struct NativeCommand {
    std::string program;         // as NativeLauncher::FindProgram found it
    std::string_view arguments;  // the command-line text after the program
    LaunchOptions options;
    std::string logPath;  // the file for standard output and error; empty: the null device
    std::string marker;   // the command's mark, unique to it (PALOMIX_COMMAND)
};

struct NativeStart {
    std::unique_ptr<NativeProcess> process;  // null when nothing was started
    bool logOpened = false;                  // the log file was made at logPath
    // With a process and an opened log: where its output comes out, and the log to write it to
    // (both null when its output goes to the null device).
    std::unique_ptr<NativeOutput> output;
    std::unique_ptr<LogFileWriter> log;
    std::string reason;  // when nothing was started: why
    int systemCode = 0;  // and the system's error code (errno, GetLastError)
};

// Holds a folder as in use by this program; the system lets go of it when the program ends,
// however it ends.
class FolderHold {
public:
    virtual ~FolderHold() = default;
};

class NativeLauncher {
public:
    virtual ~NativeLauncher() = default;
    // The program a candidate name names, found as the system finds programs; empty when it
    // names none. Only names that can name a file on Windows are asked about: not empty, no
    // double quote, no blank or tab at the start.
    virtual std::string FindProgram(const std::string& name) = 0;
    virtual NativeStart Start(const NativeCommand& command) = 0;
    // The time between asking a stopped command to end and killing what is left of it; zero
    // when Stop(false) already ends everything.
    virtual std::chrono::milliseconds StopGrace() const = 0;
    // The folder for temporary files: the log folders go there.
    virtual std::string TempFolder() = 0;
    // Makes `path` a new folder that only this user can enter, held. Null on failure
    // (also when it exists).
    virtual std::unique_ptr<FolderHold> HoldNewFolder(const std::string& path) = 0;
    // True for a log folder of this user whose owner has gone: never one whose owner may
    // still be alive, or that is not this user's. Once abandoned, a folder stays so (no new
    // owner takes a folder that exists).
    virtual bool IsAbandonedFolder(const std::string& path) = 0;
    // Kills every process still carrying a mark of the launcher `launcherId` (what its
    // commands left behind). Called when a launcher closes, and for the launchers of
    // abandoned log folders.
    virtual void EndProcessesOf(std::string_view launcherId) = 0;
};

// The native launcher of the system the program runs on (platform/posix, platform/win32).
std::unique_ptr<NativeLauncher> MakeNativeLauncher();

// The name of a launcher's log folder in the temporary folder: this prefix, then its id.
inline constexpr std::string_view kLogFolderPrefix = "palomix-logs-";

class LauncherCore final : public ProcessLauncher {
public:
    LauncherCore(PostToHost post, std::unique_ptr<NativeLauncher> native);
    ~LauncherCore() override;

    LauncherCore(const LauncherCore&) = delete;
    LauncherCore& operator=(const LauncherCore&) = delete;

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override;
    LaunchResult Launch(const std::string& commandLine, const LaunchOptions& options,
                        ProcessEndedHandler onEnded) override;
    bool Terminate(ProcessHandle handle) override;
    void DiscardLog(ProcessHandle handle) override;
    void NoteTemporary(const std::string& path) override;
    void ForgetTemporary(const std::string& path) override;

private:
    using Clock = std::chrono::steady_clock;

    struct Child {
        std::unique_ptr<NativeProcess> process;
        std::unique_ptr<NativeOutput> output;  // null when the output goes nowhere
        std::string logPath;
        std::optional<Clock::time_point> timeLimit;  // when the time limit is reached
        std::optional<Clock::time_point> stopped;    // when it was asked to end
        bool ended = false;     // its end is recorded: the program is never signalled again
        bool finished = false;  // its waiting thread has nothing left to do
        bool timeLimitReached = false;
        bool guardDone = false;  // its guard thread has nothing left to do
        bool logDiscarded = false;
        bool unreported = false;  // its launch failed after all: its end goes nowhere
        std::thread waiter;
        std::thread guard;  // times the time limit and the grace of a stop
        std::thread drain;  // writes the output to the log; joined by the waiter
    };

    // The program of the line into `command`; the failure when it names none to start.
    std::optional<LaunchResult> FindProgramOf(std::string_view commandLine, NativeCommand& command);
    // The draining thread of one command: its output into its log, to the output's end.
    static void Drain(NativeOutput* output, std::unique_ptr<LogFileWriter> log);
    void RemoveAbandonedLogFolders();
    // The launcher's log folder, made on first use; empty when none can be made.
    const std::string& LogFolder();
    std::string LogPathFor(std::uint64_t id);
    void BeginStop(Child& child);
    void Wait(ProcessHandle handle, Child& child, const ProcessEndedHandler& onEnded);
    // The end of the program's output: whatever it wrote is in the log, and the draining
    // thread is done. On the thread that waited for the program's end.
    static void EndOutput(Child& child);
    void Guard(Child& child);
    void JoinFinished();
    void JoinAll();

    const PostToHost post_;
    const std::unique_ptr<NativeLauncher> native_;  // outlives every NativeProcess
    const std::chrono::milliseconds grace_;
    std::string id_;  // names the log folder and marks the commands
    std::string logFolder_;
    std::unique_ptr<FolderHold> logFolderHold_;
    bool logFolderTried_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Child> children_;  // map: a child stays where its threads find it
    std::map<std::string, std::string> temporaries_;  // noted: path, and the file noting it
    std::uint64_t lastTemporary_ = 0;
    std::uint64_t lastId_ = 0;
    bool closing_ = false;
};

}  // namespace palomix
