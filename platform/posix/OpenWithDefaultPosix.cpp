#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/OpenWithDefault.h"

extern char** environ;

namespace palomix {
namespace posix {
namespace {

// Owns the spawn attributes and file actions so every exit path destroys them.
class SpawnSetup {
public:
    SpawnSetup() {
        actionsOk_ = ::posix_spawn_file_actions_init(&actions_) == 0;
        attrOk_ = ::posix_spawnattr_init(&attr_) == 0;
    }
    ~SpawnSetup() {
        if (actionsOk_) {
            ::posix_spawn_file_actions_destroy(&actions_);
        }
        if (attrOk_) {
            ::posix_spawnattr_destroy(&attr_);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Ready() const { return actionsOk_ && attrOk_; }
    posix_spawn_file_actions_t* Actions() { return &actions_; }
    posix_spawnattr_t* Attributes() { return &attr_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attr_{};
    bool actionsOk_ = false;
    bool attrOk_ = false;
};

void WaitForChild(pid_t pid, const OpenFailureHandler& onFailure) {
    int status = 0;
    pid_t waited = 0;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited != pid || !onFailure) {
        return;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        onFailure(OpenFailure{OpenFailure::Kind::Failed, WEXITSTATUS(status)});
    } else if (WIFSIGNALED(status)) {
        onFailure(OpenFailure{OpenFailure::Kind::Failed, 128 + WTERMSIG(status)});
    }
}

}  // namespace
}  // namespace posix

void OpenWithDefaultProgram(const std::string& pathOrUrl) {
    TryOpenWithDefaultProgram(pathOrUrl, nullptr);
}

void TryOpenWithDefaultProgram(const std::string& pathOrUrl, OpenFailureHandler onFailure) {
    const auto notStarted = [&onFailure](int code) {
        if (onFailure) {
            onFailure(OpenFailure{OpenFailure::Kind::NotStarted, code});
        }
    };
    posix::SpawnSetup setup;
    if (!setup.Ready()) {
        notStarted(ENOMEM);
        return;
    }
    // The handler gets no terminal: all three standard streams go to /dev/null.
    for (int fd : {0, 1, 2}) {
        const int flags = fd == 0 ? O_RDONLY : O_WRONLY;
        if (const int error =
                ::posix_spawn_file_actions_addopen(setup.Actions(), fd, "/dev/null", flags, 0)) {
            notStarted(error);
            return;
        }
    }
    // Its own process group, so a Ctrl+C meant for us does not reach the editor or browser.
    if (::posix_spawnattr_setflags(setup.Attributes(), POSIX_SPAWN_SETPGROUP) != 0 ||
        ::posix_spawnattr_setpgroup(setup.Attributes(), 0) != 0) {
        notStarted(EINVAL);
        return;
    }

    std::string program = "xdg-open";
    std::string argument = pathOrUrl;
    std::vector<char*> argv{program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (const int error = ::posix_spawnp(&pid, program.c_str(), setup.Actions(), setup.Attributes(),
                                         argv.data(), environ)) {
        notStarted(error);
        return;
    }
    // xdg-open may run for as long as the program it starts; a detached thread waits for it
    // so the caller never blocks and no zombie is left behind.
    try {
        std::thread(posix::WaitForChild, pid, std::move(onFailure)).detach();
    } catch (const std::system_error&) {
        // Without a thread the child stays unreaped until we exit; opening still happened.
    }
}

}  // namespace palomix
