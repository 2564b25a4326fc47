// What palomix-batch writes to a standard stream that is a file on POSIX.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ConsoleText.h"

namespace palomix {
namespace {

// "a", "é", "日" and U+1F3AC: one character of each length.
const std::string kText = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xACz";

// On POSIX the bytes go out as they are.
TEST(ConsoleTextPosixTest, StandardErrorGetsTheBytesAsTheyAre) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("palomix-console-" + std::to_string(::getpid())))
            .string();
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
    bool console = true;
    {
        ConsoleTextStream err(StandardStream::Error);
        console = err.WritesToConsole();
        err << kText.substr(0, 4) << kText.substr(4) << 42;
    }
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kText + "42");
    EXPECT_FALSE(console);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace palomix
