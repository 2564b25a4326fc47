#include <unistd.h>

#include <cerrno>

#include "platform/ConsoleText.h"

namespace palomix {

namespace posix {
namespace {

// A terminal takes the UTF-8 bytes as they are, as do files and pipes.
class DescriptorSink final : public ConsoleTextBuffer::Sink {
public:
    explicit DescriptorSink(int fd) : fd_(fd) {}

    bool Write(std::string_view utf8) override {
        while (!utf8.empty()) {
            const ssize_t n = ::write(fd_, utf8.data(), utf8.size());
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            utf8.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool IsConsole() const override { return false; }

private:
    int fd_;
};

}  // namespace
}  // namespace posix

bool IsTerminal(StandardStream stream) {
    return ::isatty(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

std::unique_ptr<ConsoleTextBuffer::Sink> OpenStandardStreamSink(StandardStream stream) {
    return std::make_unique<posix::DescriptorSink>(
        stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO);
}

}  // namespace palomix
