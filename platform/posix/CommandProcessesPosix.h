// The processes that belong to a launched command on Linux, found in /proc, and the reaping
// of those that end up as this program's children.
//
// A command's processes are found two ways: by the mark in their environment
// (PALOMIX_COMMAND=<launcher id>.<command number>, which children inherit, so it survives a
// setsid() and a new parent), and by the process tree under the command's program (which also
// finds a child that cleared its environment, while the program is there to start from).
//
// Only processes pinned by a pid file descriptor are signalled or reaped: a pidfd names one
// process for good, so a process id that has meanwhile gone to another process is never hit.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace palomix::posix {

inline constexpr std::string_view kMarkVariable = "PALOMIX_COMMAND";

// One process as /proc shows it.
struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    unsigned long long startTime = 0;  // in clock ticks since boot: tells a reused id apart
};

// A process pinned by a pid file descriptor. Without pidfds (a kernel older than 5.3) it is
// pinned by its id and start time only, checked just before use.
class PinnedProcess {
public:
    // The process `entry` describes, if it is still that process.
    static std::shared_ptr<PinnedProcess> Pin(const ProcessEntry& entry);

    PinnedProcess(const PinnedProcess&) = delete;
    PinnedProcess& operator=(const PinnedProcess&) = delete;
    ~PinnedProcess();

    const ProcessEntry& Entry() const { return entry_; }
    // False when it has gone (reaped).
    bool Signal(int signal);
    // Its process group now; nullopt once it has gone.
    std::optional<pid_t> Group() const;

    enum class State { Running, Reaped, Gone, SomeoneElses };
    // Reaps it if it has ended as a child of this program; Gone once it has been reaped
    // (by anyone); SomeoneElses when it has ended as another process's child.
    State TryReap();

private:
    PinnedProcess(const ProcessEntry& entry, int fd) : entry_(entry), fd_(fd) {}

    ProcessEntry entry_;
    int fd_;  // -1 without pidfds
};

// The processes that belong to a command: those of this user whose mark is `mark` (or, with
// `markPrefix`, starts with it), and, when `root` is given, every descendant of `root`.
// `root` itself is not listed.
std::vector<ProcessEntry> FindCommandProcesses(std::string_view mark, bool markPrefix,
                                               std::optional<pid_t> root);

// The processes of commands that may outlive them, watched until they have gone: those that
// end up as this program's children (this program is a child subreaper) are reaped here, and
// no other child of this program ever is.
class Leftovers {
public:
    Leftovers() = default;
    Leftovers(const Leftovers&) = delete;
    Leftovers& operator=(const Leftovers&) = delete;
    // Waits a little for the watched processes to go (they have been killed by then).
    ~Leftovers();

    void Watch(std::shared_ptr<PinnedProcess> process);

private:
    void Run();
    bool Sweep();  // with the lock held: true when nothing is left to watch

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::shared_ptr<PinnedProcess>> watched_;
    std::thread thread_;
    bool closing_ = false;
};

}  // namespace palomix::posix
