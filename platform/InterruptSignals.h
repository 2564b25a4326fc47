// Ctrl-C and the requests to end that a terminal program receives, taken over while
// palomix-batch converts, so that it can stop its converter before it goes.
//
// POSIX: SIGINT is an interrupt; SIGTERM and SIGHUP are requests to end. The signal handler
// only writes the signal's number into a pipe; a thread of the watch reads it and hands it on,
// so nothing else ever runs inside a signal handler.
// Windows: Ctrl-C and Ctrl-Break are interrupts; closing the console, logging off and shutting
// down are requests to end. The system calls the handler on a thread of its own, which hands
// the event on.
#pragma once

#include <functional>
#include <memory>

namespace palomix {

struct Interruption {
    enum class Kind {
        Interrupt,  // Ctrl-C
        Terminate,  // the program is asked to end (a terminate signal, a hang-up, a closed console)
    };
    Kind kind = Kind::Interrupt;
    int native = 0;  // POSIX: the signal number; Windows: the console control event
};

class InterruptWatch {
public:
    using Handler = std::function<void(const Interruption&)>;

    // Takes the interruptions over: each one that arrives is handed to `onInterruption`, in
    // the order they came, on a thread that is not the caller's (never in a signal handler).
    // The handler must be quick and safe to call from that thread (post a task, say). Only
    // one watch may exist at a time. Throws std::runtime_error when it cannot be set up,
    // std::logic_error for a second watch.
    explicit InterruptWatch(Handler onInterruption);
    // Puts back what was there before, then stops its thread.
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Ends the program the way the interruption ends a program that does not handle it (POSIX: by
// that signal, with its default action; Windows: with the exit code of an interrupted console
// program), so a calling shell or script sees that it was interrupted. Call it once the
// program has cleaned up.
[[noreturn]] void EndByInterruption(const Interruption& interruption);

}  // namespace palomix
