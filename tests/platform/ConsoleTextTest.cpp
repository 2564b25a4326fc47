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

// "a", "é", "日", U+1F3AC and a byte that is no UTF-8: one character of each length.
const std::string kText = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xAC\xFFz";

TEST(ConsoleTextTest, WholeUtf8LengthEndsAtTheLastWholeCharacter) {
    std::vector<std::size_t> boundaries = {0};
    for (std::size_t at = 0; at < kText.size();) {
        const std::size_t length = Utf8CharacterLength(std::string_view(kText).substr(at));
        at += length == 0 ? 1 : length;
        boundaries.push_back(at);
    }
    for (std::size_t cut = 0; cut <= kText.size(); ++cut) {
        std::size_t expected = 0;
        for (const std::size_t boundary : boundaries) {
            expected = boundary <= cut ? boundary : expected;
        }
        EXPECT_EQ(WholeUtf8Length(kText.substr(0, cut)), expected) << cut;
    }
}

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
        out << "\xE6\x97" << std::flush;  // a cut character waits
        EXPECT_EQ(writes.back(), "z");
    }
    EXPECT_EQ(writes.back(), "\xE6\x97");  // and goes out when the stream ends
    writes.pop_back();
    std::string all;
    for (const std::string& write : writes) {
        EXPECT_EQ(WholeUtf8Length(write), write.size()) << testing::PrintToString(write);
        all += write;
    }
    EXPECT_EQ(all, kText);
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
