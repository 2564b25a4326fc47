// The system calls of the launcher on Linux: the program found as Windows finds it (see
// platform/CommandLineSplit.h), started with vfork and exec, never through a shell, waited
// for, and stopped with everything it started.
//
// The child is started as platform/posix/ChildStartPosix.h says (the parent whose end kills it
// is the thread that called Launch), at the lower priority when asked, the null device as input
// and a pipe as output, which the launcher reads into the command's log file.
//
// The program's process id is never reused behind the launcher's back: WaitForEnd waits with
// WNOWAIT, which reports the end without releasing the process, and only Release reaps it,
// under the core's lock. Until then its id, which is also its process group's id, is its own.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/LauncherCore.h"
#include "platform/posix/ChildStartPosix.h"
#include "platform/posix/CommandProcessesPosix.h"

#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace palomix::posix {
namespace {

constexpr auto kKillGrace = std::chrono::seconds(2);
constexpr int kLowerPriority = 10;  // niceness added for LaunchOptions::lowPriority
constexpr const char* kLockName = "owner.lock";
// A log folder without its lock file is being made, or its maker was killed while making it;
// only one that old is taken for abandoned.
constexpr auto kUnlockedFolderAge = std::chrono::minutes(10);

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

// The descriptor moved above the standard three, so that the child's redirections cannot
// collide with it; close-on-exec.
Fd AboveStandard(int fd) {
    const Fd original(fd);
    return original.get() < 0 ? Fd() : Fd(::fcntl(original.get(), F_DUPFD_CLOEXEC, 3));
}

// The reading end of a command's output pipe. Read waits in poll for output or for Finish, which
// writes a byte to a pipe of its own; from then on the output is read without waiting, and
// only as much as the program itself can have left in the pipe.
class PipeOutput final : public NativeOutput {
public:
    PipeOutput(Fd output, Fd wakeRead, Fd wakeWrite)
        : output_(std::move(output)),
          wakeRead_(std::move(wakeRead)),
          wakeWrite_(std::move(wakeWrite)) {}

    std::size_t Read(char* buffer, std::size_t size) override {
        for (;;) {
            if (!finishing_ && !WaitForOutput()) {
                return 0;
            }
            if (finishing_ && leftAfterEnd_ == 0) {
                return 0;
            }
            const ssize_t read = ::read(output_.get(), buffer, size);
            if (read > 0) {
                if (finishing_) {
                    leftAfterEnd_ -= std::min<std::size_t>(leftAfterEnd_, read);
                }
                return static_cast<std::size_t>(read);
            }
            if (read == 0 || (errno != EINTR && errno != EAGAIN)) {
                return 0;  // every writer has gone
            }
            if (errno == EAGAIN && finishing_) {
                return 0;  // nothing more is there
            }
        }
    }

    void Finish() override {
        const char wake = 1;
        while (::write(wakeWrite_.get(), &wake, 1) < 0 && errno == EINTR) {
        }
    }

private:
    // Waits until output is there or Finish was called; false on a failure of poll itself.
    bool WaitForOutput() {
        pollfd fds[2] = {{output_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
        while (::poll(fds, 2, -1) < 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        if ((fds[1].revents & POLLIN) != 0) {
            finishing_ = true;
            ::fcntl(output_.get(), F_SETFL, ::fcntl(output_.get(), F_GETFL) | O_NONBLOCK);
        }
        return true;
    }

    // After the end, no more than this is read: what the program wrote is in the pipe by then,
    // and something it left running may write on without end.
    static constexpr std::size_t kAfterEnd = 4 * 1024 * 1024;

    Fd output_;
    Fd wakeRead_;
    Fd wakeWrite_;
    bool finishing_ = false;
    std::size_t leftAfterEnd_ = kAfterEnd;
};

// A command's log file, written by the launcher alone.
class FdLogFile final : public LogFileWriter {
public:
    explicit FdLogFile(Fd file) : file_(std::move(file)) {}

    bool Append(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(file_.get(), bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    bool Rewrite(std::uint64_t offset, std::string_view bytes) override {
        const auto at = static_cast<off_t>(offset);
        return ::lseek(file_.get(), at, SEEK_SET) == at && Append(bytes) &&
               ::ftruncate(file_.get(), at + static_cast<off_t>(bytes.size())) == 0;
    }

private:
    Fd file_;
};

// A pipe whose ends are both above the standard three, close-on-exec; both empty on failure.
std::pair<Fd, Fd> NewPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return {Fd(), Fd()};
    }
    return {AboveStandard(ends[0]), AboveStandard(ends[1])};
}

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

ProcessExit ExitFromStatus(int status) {
    if (WIFSIGNALED(status)) {
        return {ProcessExit::Kind::Signalled, WTERMSIG(status)};
    }
    return {ProcessExit::Kind::Exited, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

class PosixProcess final : public NativeProcess {
public:
    PosixProcess(pid_t pid, std::string mark, Leftovers& leftovers)
        : pid_(pid), mark_(std::move(mark)), leftovers_(leftovers) {}

    void WaitForEnd() override {
        siginfo_t info{};
        while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 &&
               errno == EINTR) {
        }
    }

    bool HasEnded() override {
        if (released_) {
            return true;
        }
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
               info.si_pid != 0;
    }

    ProcessExit Release() override {
        int status = 0;
        pid_t reaped = 0;
        do {
            reaped = ::waitpid(pid_, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        released_ = true;
        // Without a status (the host let the system reap its children) the end is still
        // reported, with an exit code of -1.
        return reaped == pid_ ? ExitFromStatus(status) : ProcessExit{ProcessExit::Kind::Exited, -1};
    }

    // Every process found to be the command's, the program while it is not released and its
    // process group while that surely is its own. The processes are found, and pinned, before
    // anything is signalled, while the program is still there to walk its tree from; the ones
    // found on asking are signalled again on killing, even if they are no longer found then.
    void Stop(bool force) override {
        const int signal = force ? SIGKILL : SIGTERM;
        const std::optional<pid_t> root = released_ ? std::nullopt : std::optional<pid_t>(pid_);
        for (const ProcessEntry& entry : FindCommandProcesses(mark_, false, root)) {
            const bool known = std::any_of(found_.begin(), found_.end(), [&](const auto& process) {
                return process->Entry().pid == entry.pid &&
                       process->Entry().startTime == entry.startTime;
            });
            if (std::shared_ptr<PinnedProcess> process =
                    known ? nullptr : PinnedProcess::Pin(entry)) {
                found_.push_back(std::move(process));
            }
        }
        if (!released_) {
            ::kill(pid_, signal);
            ::killpg(pid_, signal);
        }
        bool groupAlive = false;
        for (const std::shared_ptr<PinnedProcess>& process : found_) {
            groupAlive = (process->Signal(signal) && process->Group() == pid_) || groupAlive;
            leftovers_.Watch(process);
        }
        // A member of the group is still there, so the group's id cannot have gone to another
        // group: the rest of it (what cleared its mark) is reached too.
        if (released_ && groupAlive) {
            ::killpg(pid_, signal);
        }
    }

private:
    const pid_t pid_;
    const std::string mark_;
    Leftovers& leftovers_;
    bool released_ = false;
    std::vector<std::shared_ptr<PinnedProcess>> found_;
};

// A log folder held by a lock on its lock file, which the system drops when the program ends.
class LockHold final : public FolderHold {
public:
    explicit LockHold(Fd lock) : lock_(std::move(lock)) {}

private:
    Fd lock_;
};

class PosixLauncher final : public NativeLauncher {
public:
    PosixLauncher() {
        // What a command leaves behind when its parent ends comes to this program, not to
        // init: it stays within reach of Stop and is reaped by Leftovers.
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    }

    // The program a candidate names: a name with '/' as it stands (relative names from the
    // current folder), a bare name searched on PATH (an empty PATH entry is the current
    // folder; with no PATH at all, the system's default path).
    std::string FindProgram(const std::string& name) override {
        if (name.find('/') != std::string::npos) {
            return IsExecutableFile(name) ? name : std::string();
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
            const std::string folder = searchPath.substr(start, end - start);
            std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
            if (IsExecutableFile(candidate)) {
                return candidate;
            }
            start = end + 1;
        }
        return {};
    }

    NativeStart Start(const NativeCommand& command) override {
        NativeStart result;
        // argv: the program as found, then the arguments of the text after it.
        ChildStart start;
        start.program = command.program;
        start.argv = SplitArguments(command.arguments);
        start.argv.insert(start.argv.begin(), command.program);
        // The host's environment with the command's mark.
        const std::string markPrefix = std::string(kMarkVariable) + "=";
        for (char** variable = environ; variable != nullptr && *variable != nullptr; ++variable) {
            if (!std::string_view(*variable).starts_with(markPrefix)) {
                start.envp.emplace_back(*variable);
            }
        }
        start.envp.push_back(markPrefix + command.marker);

        const Fd null = AboveStandard(::open("/dev/null", O_RDWR | O_CLOEXEC));
        Fd log;
        Fd output;
        Fd outputEnd;
        Fd wakeRead;
        Fd wakeWrite;
        if (!command.logPath.empty()) {
            log = AboveStandard(
                ::open(command.logPath.c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600));
            result.logOpened = log.get() >= 0;
            std::tie(output, outputEnd) = NewPipe();
            std::tie(wakeRead, wakeWrite) = NewPipe();
        }
        const bool piped = log.get() >= 0 && outputEnd.get() >= 0 && wakeWrite.get() >= 0;
        start.input = null.get();
        start.output = piped ? outputEnd.get() : null.get();
        start.error = start.output;
        if (command.options.lowPriority) {
            errno = 0;
            const int current = ::getpriority(PRIO_PROCESS, 0);  // this thread's, inherited
            start.niceness = std::min(errno == 0 ? current + kLowerPriority : kLowerPriority, 19);
        }
        int failure = 0;
        const pid_t pid = null.get() >= 0 ? StartChild(start, failure) : -1;
        if (pid < 0) {
            failure = null.get() >= 0 ? failure : errno;
            result.systemCode = failure;
            result.reason = "the program \"" + command.program +
                            "\" could not be started: " + std::generic_category().message(failure);
            return result;
        }
        result.process = std::make_unique<PosixProcess>(pid, command.marker, leftovers_);
        if (piped) {
            result.output = std::make_unique<PipeOutput>(std::move(output), std::move(wakeRead),
                                                         std::move(wakeWrite));
            result.log = std::make_unique<FdLogFile>(std::move(log));
        }
        return result;
    }

    std::chrono::milliseconds StopGrace() const override { return kKillGrace; }

    // $TMPDIR when it names a folder, otherwise /tmp.
    std::string TempFolder() override {
        struct stat info {};
        const char* tmp = std::getenv("TMPDIR");
        if (tmp != nullptr && *tmp != '\0' && ::stat(tmp, &info) == 0 && S_ISDIR(info.st_mode)) {
            return tmp;
        }
        return "/tmp";
    }

    // The folder, mode 0700, with its lock file, locked. The lock file is made and locked
    // under another name and then renamed, so that no one ever sees it unlocked.
    std::unique_ptr<FolderHold> HoldNewFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0700) != 0) {
            return nullptr;
        }
        const std::string lockPath = path + "/" + kLockName;
        const std::string newLockPath = lockPath + ".new";
        Fd lock(::open(newLockPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                       0600));
        if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX) != 0 ||
            ::rename(newLockPath.c_str(), lockPath.c_str()) != 0) {
            ::unlink(newLockPath.c_str());
            ::rmdir(path.c_str());
            return nullptr;
        }
        return std::make_unique<LockHold>(std::move(lock));
    }

    // Ours (this user's folder, not a link) and its lock file not locked by a live owner.
    bool IsAbandonedFolder(const std::string& path) override {
        struct stat folder {};
        if (::lstat(path.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
            folder.st_uid != ::geteuid()) {
            return false;
        }
        const Fd lock(::open((path + "/" + kLockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (lock.get() < 0) {
            const auto age = std::chrono::system_clock::now() -
                             std::chrono::system_clock::from_time_t(folder.st_mtime);
            return errno == ENOENT && age > kUnlockedFolderAge;
        }
        return ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0;
    }

    void EndProcessesOf(std::string_view launcherId) override {
        const std::string mark = std::string(launcherId) + ".";
        for (const ProcessEntry& entry : FindCommandProcesses(mark, true, std::nullopt)) {
            if (std::shared_ptr<PinnedProcess> process = PinnedProcess::Pin(entry)) {
                process->Signal(SIGKILL);
                leftovers_.Watch(std::move(process));
            }
        }
    }

private:
    Leftovers leftovers_;
};

}  // namespace
}  // namespace palomix::posix

namespace palomix {

std::unique_ptr<NativeLauncher> MakeNativeLauncher() {
    return std::make_unique<posix::PosixLauncher>();
}

}  // namespace palomix
