#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/ExecutablePath.h"

namespace palomix {

std::string ExecutablePath() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot read the program's path from /proc/self/exe");
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

}  // namespace palomix
