#include "platform/ConsoleText.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/TextCodec.h"

namespace palomix {
namespace {

// "a", "é", "日" and U+1F3AC: one character of each length.
const std::string kText = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xACz";

// A console is given whole characters only, however the text is cut by the writes before it.
class RecordingConsole final : public ConsoleTextBuffer::Sink {
public:
    explicit RecordingConsole(std::vector<std::string>& writes) : writes_(writes) {}
    bool Write(std::string_view utf8) override {
        writes_.emplace_back(utf8);
        return true;
    }
    bool IsConsole() const override { return true; }

private:
    std::vector<std::string>& writes_;
};

TEST(ConsoleTextTest, AConsoleIsWrittenWholeCharactersOnly) {
    std::vector<std::string> writes;
    {
        ConsoleTextBuffer buffer(std::make_unique<RecordingConsole>(writes));
        std::ostream out(&buffer);
        for (const char byte : kText) {
            out << byte << std::flush;
        }
        std::string all;
        for (const std::string& write : writes) {
            EXPECT_TRUE(IsValidUtf8(write)) << testing::PrintToString(write);
            all += write;
        }
        EXPECT_EQ(all, kText);
        // A byte that is no UTF-8 waits for nothing; a cut character waits for the end.
        out << "\xFF" << std::flush << "\xE6\x97" << std::flush;
        EXPECT_EQ(writes.back(), "\xFF");
    }
    EXPECT_EQ(writes.back(), "\xE6\x97");
}

// On POSIX the bytes go out as they are.
TEST(ConsoleTextTest, StandardErrorGetsTheBytesAsTheyAre) {
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
