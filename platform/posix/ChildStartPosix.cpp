#include "platform/posix/ChildStartPosix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif

extern char** environ;

namespace palomix::posix {

namespace {

// Everything the child needs, made before the fork: between vfork and exec nothing may
// allocate or take a lock.
struct ChildSetup {
    const char* program = nullptr;
    char* const* argv = nullptr;
    char* const* envp = nullptr;
    int input = -1;
    int output = -1;
    int error = -1;
    int errorPipe = -1;
    pid_t parent = 0;
    int niceness = INT_MIN;
    int highestFd = 0;  // for systems without close_range
};

[[noreturn]] void Fail(const ChildSetup& setup) {
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(setup.errorPipe, &error, sizeof error);
    ::_exit(127);
}

// Runs in the vforked child: async-signal-safe calls only.
[[noreturn]] void RunChild(const ChildSetup& setup) {
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP) {
            ::sigaction(signal, &byDefault, nullptr);  // fails harmlessly for reserved ones
        }
    }
    if (::setpgid(0, 0) != 0 || ::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
        Fail(setup);
    }
    if (::getppid() != setup.parent) {
        ::_exit(127);  // the host ended before the death signal was set
    }
    if (setup.niceness != INT_MIN) {
        ::setpriority(PRIO_PROCESS, 0, setup.niceness);
    }
    if (::dup2(setup.input, 0) < 0 || ::dup2(setup.output, 1) < 0 || ::dup2(setup.error, 2) < 0) {
        Fail(setup);
    }
#ifdef CLOSE_RANGE_CLOEXEC
    const bool closed = ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0;
#else
    const bool closed = false;
#endif
    if (!closed) {
        for (int fd = 3; fd <= setup.highestFd; ++fd) {
            if (fd != setup.errorPipe) {
                ::close(fd);
            }
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(setup.program, setup.argv, setup.envp);
    Fail(setup);
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

pid_t StartChild(const ChildStart& start, int& failure) {
    std::vector<std::string> argvTexts = start.argv;
    std::vector<std::string> envpTexts = start.envp;
    std::vector<char*> argv = Pointers(argvTexts);
    std::vector<char*> envp = Pointers(envpTexts);
    int pipeEnds[2] = {-1, -1};
    // Above the standard three, so that the child's redirections cannot collide with it.
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        failure = errno;
        return -1;
    }
    const int fromChild = ::fcntl(pipeEnds[0], F_DUPFD_CLOEXEC, 3);
    const int toParent = ::fcntl(pipeEnds[1], F_DUPFD_CLOEXEC, 3);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ChildSetup setup;
    setup.program = start.program.c_str();
    setup.argv = argv.data();
    setup.envp = start.envp.empty() ? environ : envp.data();
    setup.input = start.input;
    setup.output = start.output;
    setup.error = start.error;
    setup.errorPipe = toParent;
    setup.parent = ::getpid();
    setup.niceness = start.niceness;
    rlimit files{};
    setup.highestFd = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536
                          ? static_cast<int>(files.rlim_cur)
                          : 65536;

    // No handler of the host's may run in the child, which shares the host's memory until it
    // execs: every signal is blocked across the fork, and the child unblocks them only once
    // their handlers are reset.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t pid = fromChild >= 0 && toParent >= 0 ? ::vfork() : -1;
    if (pid == 0) {
        RunChild(setup);
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (toParent >= 0) {
        ::close(toParent);
    }
    if (pid < 0) {
        if (fromChild >= 0) {
            ::close(fromChild);
        }
        failure = forkError;
        return -1;
    }
    int childError = 0;
    ssize_t got = 0;
    do {
        got = ::read(fromChild, &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(fromChild);
    if (got == sizeof childError) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        failure = childError;
        return -1;
    }
    return pid;
}

}  // namespace palomix::posix
