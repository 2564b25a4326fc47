// The POSIX launcher: the command line is split by the Windows rules, the program found as
// Windows finds it, and started with posix_spawn, never through a shell.
//
// The process id is never reused behind our back: each child has a waiting thread that blocks
// in waitid(..., WNOWAIT), which reports the end without releasing the process. Only after
// the end has been recorded under the launcher's lock does the thread reap the child. Terminate
// and the kill escalation check that record under the same lock (and whether the child is
// already a zombie) before they signal, so while they signal, the child is not yet reaped, its
// id (which is also its process group's id) still belongs to it, and a process that has
// already ended is never signalled.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/ProcessLauncher.h"

extern char** environ;

namespace palomix::posix {
namespace {

constexpr auto kKillGrace = std::chrono::seconds(2);

// A file descriptor, closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

class SpawnFileActions {
public:
    SpawnFileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ::posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The program a candidate names: a name with '/' as it stands (relative names from the current
// folder), a bare name searched on PATH (an empty PATH entry is the current folder; with no
// PATH at all, the system's default path). Empty when it names no executable file.
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    if (name.empty()) {
        return {};
    }
    std::string searchPath;
    if (const char* path = std::getenv("PATH")) {
        searchPath = path;
    } else {
        searchPath.resize(::confstr(_CS_PATH, nullptr, 0));
        ::confstr(_CS_PATH, searchPath.data(), searchPath.size());
        searchPath.resize(searchPath.empty() ? 0 : searchPath.size() - 1);
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos) {
            end = searchPath.size();
        }
        std::string folder = searchPath.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Opens the log file for a command, at a descriptor above the standard three so that the
// redirections of the child cannot collide with it. -1 when it cannot be made.
Fd OpenLog(const std::string& path) {
    const Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600));
    if (fd.get() < 0) {
        return Fd();
    }
    return Fd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3));
}

// A private folder for the logs, mode 0700, under $TMPDIR or else /tmp. Empty on failure.
std::string MakeLogFolder() {
    std::vector<std::string> bases;
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
        bases.emplace_back(tmp);
    }
    bases.emplace_back("/tmp");
    for (const std::string& base : bases) {
        std::string pattern = base + "/palomix-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            return pattern;
        }
    }
    return {};
}

ProcessExit ExitFromStatus(int status) {
    if (WIFSIGNALED(status)) {
        return {ProcessExit::Kind::Signalled, WTERMSIG(status)};
    }
    return {ProcessExit::Kind::Exited, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

class PosixProcessLauncher final : public ProcessLauncher {
public:
    explicit PosixProcessLauncher(PostToHost post) : post_(std::move(post)) {}

    PosixProcessLauncher(const PosixProcessLauncher&) = delete;
    PosixProcessLauncher& operator=(const PosixProcessLauncher&) = delete;

    ~PosixProcessLauncher() override {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
            for (auto& [id, child] : children_) {
                if (StillRunning(child)) {
                    SignalGroup(child.pid, SIGKILL);
                }
            }
        }
        changed_.notify_all();
        JoinThreads([](const Child&) { return true; });
        if (!logFolder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(logFolder_, ignored);
        }
    }

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override {
        JoinThreads([](const Child& child) { return child.finished; });

        const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
        if (candidates.empty()) {
            return NotLaunched("the command line is empty");
        }
        std::string program;
        std::string_view rest;
        for (const ProgramCandidate& candidate : candidates) {
            program = FindProgram(candidate.program);
            if (!program.empty()) {
                rest = candidate.rest;
                break;
            }
        }
        if (program.empty()) {
            std::string reason = "the program \"" + candidates.front().program + "\" was not found";
            for (std::size_t i = 1; i < candidates.size(); ++i) {
                reason += (i == 1 ? " (nor \"" : ", \"") + candidates[i].program + "\"";
            }
            return NotLaunched(candidates.size() > 1 ? reason + ")" : reason);
        }

        // argv: the program as found, then the arguments of the text after it.
        std::vector<std::string> arguments = SplitArguments(rest);
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);

        std::unique_lock lock(mutex_);
        const ProcessHandle handle{++lastId_};
        if (logFolder_.empty()) {
            logFolder_ = MakeLogFolder();
        }
        std::string logPath;
        Fd log;
        if (!logFolder_.empty()) {
            logPath = logFolder_ + "/command-" + std::to_string(handle.id) + ".log";
            log = OpenLog(logPath);
            if (log.get() < 0) {
                logPath.clear();
            }
        }

        SpawnFileActions actions;
        ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
        if (log.get() >= 0) {
            ::posix_spawn_file_actions_adddup2(actions.get(), log.get(), 1);
        } else {
            ::posix_spawn_file_actions_addopen(actions.get(), 1, "/dev/null", O_WRONLY, 0);
        }
        ::posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Descriptors that the host left inheritable stay with the host.
        ::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
#endif

        // Its own process group (so Stop reaches everything it starts), every signal at its
        // default and none blocked, whatever the host has set for itself.
        SpawnAttributes attributes;
        sigset_t noSignals;
        sigemptyset(&noSignals);
        sigset_t allSignals;
        sigfillset(&allSignals);
        sigdelset(&allSignals, SIGKILL);
        sigdelset(&allSignals, SIGSTOP);
        ::posix_spawnattr_setpgroup(attributes.get(), 0);
        ::posix_spawnattr_setsigmask(attributes.get(), &noSignals);
        ::posix_spawnattr_setsigdefault(attributes.get(), &allSignals);
        ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP |
                                                         POSIX_SPAWN_SETSIGMASK |
                                                         POSIX_SPAWN_SETSIGDEF);

        pid_t pid = 0;
        const int error = ::posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(),
                                        argv.data(), environ);
        if (error != 0) {
            lock.unlock();
            if (!logPath.empty()) {
                ::unlink(logPath.c_str());
            }
            return NotLaunched("the program \"" + program + "\" could not be started: " +
                               std::generic_category().message(error));
        }

        Child& child = children_[handle.id];
        child.pid = pid;
        child.logPath = logPath;
        try {
            child.waiter = std::thread([this, handle, &child, onEnded = std::move(onEnded)] {
                Wait(handle, child, onEnded);
            });
        } catch (const std::system_error& error) {
            // Without a thread to watch it, the process could never be reported: undo it.
            SignalGroup(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            children_.erase(handle.id);
            if (!logPath.empty()) {
                ::unlink(logPath.c_str());
            }
            return NotLaunched("the program \"" + program +
                               "\" could not be watched: " + error.what());
        }
        return LaunchResult{true, handle, logPath, {}};
    }

    bool Terminate(ProcessHandle handle) override {
        JoinThreads([](const Child& child) { return child.finished; });
        const std::lock_guard lock(mutex_);
        const auto found = children_.find(handle.id);
        if (found == children_.end()) {
            return false;
        }
        Child& child = found->second;
        if (!StillRunning(child) || !SignalGroup(child.pid, SIGTERM)) {
            return false;
        }
        if (!child.escalation.joinable()) {
            try {
                child.escalation = std::thread([this, &child] { KillAfterGrace(child); });
            } catch (const std::system_error&) {
                SignalGroup(child.pid, SIGKILL);  // no grace without a thread to time it
            }
        }
        return true;
    }

    void DiscardLog(ProcessHandle handle) override {
        JoinThreads([](const Child& child) { return child.finished; });
        const std::lock_guard lock(mutex_);
        const auto found = children_.find(handle.id);
        if (found == children_.end() || !found->second.ended) {
            return;
        }
        if (!found->second.logPath.empty()) {
            ::unlink(found->second.logPath.c_str());
        }
        // Its threads have been joined once it is finished; then nothing refers to it.
        if (found->second.finished && !found->second.waiter.joinable() &&
            !found->second.escalation.joinable()) {
            children_.erase(found);
        } else {
            found->second.logPath.clear();
            found->second.logDiscarded = true;
        }
    }

private:
    struct Child {
        pid_t pid = 0;
        std::string logPath;
        bool ended = false;     // its end is recorded: it is never signalled again
        bool finished = false;  // its waiting thread has nothing left to do
        bool logDiscarded = false;
        std::thread waiter;
        std::thread escalation;
    };

    static LaunchResult NotLaunched(std::string reason) {
        return LaunchResult{false, {}, {}, std::move(reason)};
    }

    // With the lock held: true when the child has not ended, so signalling its id (and group)
    // reaches it. A child that has ended but is not reaped yet counts as ended.
    static bool StillRunning(Child& child) {
        if (child.ended) {
            return false;
        }
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOHANG | WNOWAIT) !=
                0 ||
            info.si_pid != 0) {
            child.ended = true;
        }
        return !child.ended;
    }

    // Signals the child's process group, or the child alone if it has left its group.
    static bool SignalGroup(pid_t pid, int signal) {
        return ::killpg(pid, signal) == 0 || (errno == ESRCH && ::kill(pid, signal) == 0);
    }

    // The waiting thread of one child.
    void Wait(ProcessHandle handle, Child& child, const ProcessEndedHandler& onEnded) {
        siginfo_t info{};
        int waited = 0;
        do {
            waited = ::waitid(P_PID, static_cast<id_t>(child.pid), &info, WEXITED | WNOWAIT);
        } while (waited != 0 && errno == EINTR);
        {
            const std::lock_guard lock(mutex_);
            child.ended = true;
        }
        changed_.notify_all();

        // Only now may the id go back to the system.
        int status = 0;
        pid_t reaped = 0;
        do {
            reaped = ::waitpid(child.pid, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        // Without a status (the host let the system reap its children) the end is still
        // reported, with an exit code of -1.
        const ProcessExit exit = reaped == child.pid ? ExitFromStatus(status)
                                                     : ProcessExit{ProcessExit::Kind::Exited, -1};

        bool post = false;
        {
            const std::lock_guard lock(mutex_);
            post = !closing_;
        }
        if (post && post_ && onEnded) {
            post_([onEnded, handle, exit] { onEnded(handle, exit); });
        }
        const std::lock_guard lock(mutex_);
        child.finished = true;
    }

    // The escalation after a terminate request: a kill when the child is still there after the
    // grace period. Runs on its own thread so that Terminate returns at once.
    void KillAfterGrace(Child& child) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, kKillGrace, [&] { return child.ended || closing_; });
        if (!closing_ && StillRunning(child)) {
            SignalGroup(child.pid, SIGKILL);
        }
    }

    // Joins the threads of the children that `select` picks, outside the lock (the threads
    // take it on their way out), then forgets the finished children whose log is discarded.
    template <typename Select>
    void JoinThreads(Select select) {
        std::vector<std::thread> threads;
        {
            const std::lock_guard lock(mutex_);
            for (auto& [id, child] : children_) {
                if (!select(child)) {
                    continue;
                }
                if (child.waiter.joinable()) {
                    threads.push_back(std::move(child.waiter));
                }
                if (child.escalation.joinable()) {
                    threads.push_back(std::move(child.escalation));
                }
            }
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        const std::lock_guard lock(mutex_);
        std::erase_if(children_, [](const auto& entry) {
            const Child& child = entry.second;
            return child.finished && child.logDiscarded && !child.waiter.joinable() &&
                   !child.escalation.joinable();
        });
    }

    const PostToHost post_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Child> children_;  // map: a child stays where its threads find it
    std::uint64_t lastId_ = 0;
    std::string logFolder_;
    bool closing_ = false;
};

}  // namespace
}  // namespace palomix::posix

namespace palomix {

std::unique_ptr<ProcessLauncher> SystemProcessLauncher(PostToHost post) {
    return std::make_unique<posix::PosixProcessLauncher>(std::move(post));
}

}  // namespace palomix
