#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/StandardStreams.h"

namespace palomix {

namespace {

// True when `fd` was closed and now holds the null device.
bool HoldIfClosed(int fd, int flags) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return false;
    }
    // The lowest free descriptor is `fd` itself, the lower ones being held already.
    const int null = ::open("/dev/null", flags);
    if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
    }
    return true;
}

}  // namespace

ClosedStandardStreams HoldClosedStandardStreams() {
    ClosedStandardStreams closed;
    closed.input = HoldIfClosed(STDIN_FILENO, O_RDONLY);
    closed.output = HoldIfClosed(STDOUT_FILENO, O_WRONLY);
    closed.error = HoldIfClosed(STDERR_FILENO, O_WRONLY);
    return closed;
}

}  // namespace palomix
