// The helper is started as every child is (platform/posix/ChildStartPosix.h: killed when the
// thread that starts it ends), with a socket pair for its standard input and output: a write to
// a helper that has died then fails with an error instead of a signal that would end this
// program. One thread reads what it writes and, at its end, reaps it; another kills it when a
// time limit passes.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/HelperProcess.h"
#include "platform/posix/ChildStartPosix.h"

namespace palomix {

namespace {

// What the helper's threads share with the tasks they post: those find it gone after the
// object that owns the helper was destroyed.
struct Shared {
    std::mutex mutex;
    bool alive = true;
    HelperProcess::Events events;
};

class PosixHelperProcess final : public HelperProcess {
public:
    PosixHelperProcess(pid_t pid, int socket, PostToHost post, HelperProcess::Events events)
        : pid_(pid), socket_(socket), post_(std::move(post)), shared_(std::make_shared<Shared>()) {
        shared_->events = std::move(events);
        reader_ = std::thread([this] { Read(); });
        guard_ = std::thread([this] { Guard(); });
    }

    ~PosixHelperProcess() override {
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->alive = false;
        }
        Kill();
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        reader_.join();
        guard_.join();
        ::close(socket_);
    }

    bool Send(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) {
                continue;
            }
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    void SetTimeLimit(std::optional<std::chrono::milliseconds> limit) override {
        {
            const std::lock_guard lock(mutex_);
            deadline_.reset();
            if (limit) {
                deadline_ = std::chrono::steady_clock::now() + *limit;
            }
        }
        changed_.notify_all();
    }

    void Kill() override {
        const std::lock_guard lock(mutex_);
        if (!reaped_) {
            ::kill(pid_, SIGKILL);
        }
    }

private:
    void Post(std::function<void(Shared&)> task) {
        post_([shared = shared_, task = std::move(task)] {
            {
                const std::lock_guard lock(shared->mutex);
                if (!shared->alive) {
                    return;
                }
            }
            task(*shared);
        });
    }

    void Read() {
        char buffer[8192];
        for (;;) {
            const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            Post([bytes = std::string(buffer, static_cast<std::size_t>(got))](Shared& shared) {
                shared.events.received(bytes);
            });
            // Something came: the time limit waits for the next question.
            const std::lock_guard lock(mutex_);
            deadline_.reset();
        }
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        ProcessExit exit;
        {
            const std::lock_guard lock(mutex_);
            reaped_ = true;
            exit.timeLimitReached = timedOut_;
        }
        changed_.notify_all();
        if (WIFSIGNALED(status)) {
            exit.kind = ProcessExit::Kind::Signalled;
            exit.code = WTERMSIG(status);
        } else {
            exit.code = WEXITSTATUS(status);
        }
        Post([exit](Shared& shared) { shared.events.ended(exit); });
    }

    void Guard() {
        std::unique_lock lock(mutex_);
        while (!quit_ && !reaped_) {
            if (!deadline_) {
                changed_.wait(lock);
                continue;
            }
            if (changed_.wait_until(lock, *deadline_) == std::cv_status::timeout && deadline_ &&
                std::chrono::steady_clock::now() >= *deadline_ && !reaped_) {
                timedOut_ = true;
                deadline_.reset();
                ::kill(pid_, SIGKILL);
            }
        }
    }

    const pid_t pid_;
    const int socket_;
    const PostToHost post_;
    std::shared_ptr<Shared> shared_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool reaped_ = false;  // the process is gone: its id is no longer its own
    bool timedOut_ = false;
    bool quit_ = false;
    std::thread reader_;
    std::thread guard_;
};

}  // namespace

std::unique_ptr<HelperProcess> StartHelperProcess(const std::string& program, PostToHost post,
                                                  HelperProcess::Events events,
                                                  std::string& failure) {
    int sockets[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        failure = std::strerror(errno);
        return nullptr;
    }
    // The child's end becomes its standard input and output; its errors go nowhere.
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix::ChildStart start;
    start.program = program;
    start.argv = {program};
    start.input = sockets[1];
    start.output = sockets[1];
    start.error = null;
    int error = 0;
    const pid_t pid = null >= 0 ? posix::StartChild(start, error) : -1;
    ::close(sockets[1]);
    if (null >= 0) {
        ::close(null);
    } else {
        error = errno;
    }
    if (pid < 0) {
        ::close(sockets[0]);
        failure = std::strerror(error);
        return nullptr;
    }
    return std::make_unique<PosixHelperProcess>(pid, sockets[0], std::move(post),
                                                std::move(events));
}

}  // namespace palomix
