#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/InterruptSignals.h"

namespace palomix {

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// The write end of the pipe of the watch in charge, or -1. A signal handler has nowhere else
// to find it, so this is the one value of the program that lives at namespace scope.
std::atomic<int> signalPipe{-1};

extern "C" void OnSignal(int signal) {
    const int savedErrno = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const auto number = static_cast<unsigned char>(signal);
        // A full pipe drops the signal: thousands are already waiting to be handled.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = savedErrno;
}

void WriteByte(int fd, unsigned char byte) {
    for (;;) {
        if (::write(fd, &byte, 1) == 1) {
            return;
        }
        if (errno == EAGAIN) {
            // The watcher is draining the pipe; wait until there is room.
            pollfd room{fd, POLLOUT, 0};
            ::poll(&room, 1, -1);
        } else if (errno != EINTR) {
            return;
        }
    }
}

}  // namespace

struct InterruptWatch::State {
    Handler onInterruption;
    int readEnd = -1;
    int writeEnd = -1;
    std::array<struct sigaction, kSignals.size()> saved{};
    std::thread watcher;

    ~State() {
        if (readEnd >= 0) {
            ::close(readEnd);
        }
        if (writeEnd >= 0) {
            ::close(writeEnd);
        }
    }

    void Watch() const {
        for (;;) {
            unsigned char number = 0;
            const ssize_t got = ::read(readEnd, &number, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got != 1 || number == 0) {
                return;  // a zero byte: the watch is going
            }
            if (onInterruption) {
                const Interruption::Kind kind = number == SIGINT ? Interruption::Kind::Interrupt
                                                                 : Interruption::Kind::Terminate;
                onInterruption(Interruption{kind, number});
            }
        }
    }
};

InterruptWatch::InterruptWatch(Handler onInterruption) : state_(std::make_unique<State>()) {
    state_->onInterruption = std::move(onInterruption);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "cannot make the signal pipe");
    }
    state_->readEnd = fds[0];
    state_->writeEnd = fds[1];
    ::fcntl(state_->writeEnd, F_SETFL, ::fcntl(state_->writeEnd, F_GETFL) | O_NONBLOCK);

    int none = -1;
    if (!signalPipe.compare_exchange_strong(none, state_->writeEnd)) {
        throw std::logic_error("the interruptions are already being watched");
    }
    try {
        state_->watcher = std::thread([state = state_.get()] { state->Watch(); });
    } catch (...) {
        signalPipe.store(-1);
        throw;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &state_->saved[i]);
    }
}

InterruptWatch::~InterruptWatch() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &state_->saved[i], nullptr);
    }
    signalPipe.store(-1);
    WriteByte(state_->writeEnd, 0);
    state_->watcher.join();
}

void EndByInterruption(const Interruption& interruption) {
    const int signal = interruption.native > 0 ? interruption.native : SIGINT;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

}  // namespace palomix
