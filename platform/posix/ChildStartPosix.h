// Starting a child program on Linux, the same for the launcher's commands and the helpers: with
// vfork and exec, never through a shell, in a process group of its own, killed when the thread
// that starts it ends (PR_SET_PDEATHSIG, so that a killed host leaves nothing running), every
// signal at its default and none blocked, and no descriptor of the host's but the three it is
// given. Between vfork and exec only async-signal-safe calls run; an exec that fails is
// reported back through a close-on-exec pipe.
#pragma once

#include <sys/types.h>

#include <climits>
#include <string>
#include <vector>

namespace palomix::posix {

struct ChildStart {
    std::string program;            // the file to run
    std::vector<std::string> argv;  // argument 0 included
    std::vector<std::string> envp;  // the environment; empty: the host's
    int input = -1;                 // its standard input, output and error
    int output = -1;
    int error = -1;
    int niceness = INT_MIN;  // INT_MIN: the host's
};

// The child's process id, or -1 with the system's error code in `failure`.
pid_t StartChild(const ChildStart& start, int& failure);

}  // namespace palomix::posix
