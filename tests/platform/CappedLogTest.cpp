// A command's log kept to its head and tail, written into a file that is played by a string.
#include "platform/CappedLog.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace palomix {
namespace {

class StringFile final : public LogFileWriter {
public:
    bool Append(std::string_view bytes) override {
        text.append(bytes);
        return !full;
    }
    bool Rewrite(std::uint64_t offset, std::string_view bytes) override {
        text.resize(offset);
        text.append(bytes);
        return !full;
    }
    std::string text;
    bool full = false;
};

// Whatever the output and however it arrives, the file holds its head as it was, the line that
// says how much was left out, and its last bytes from the start of a line; it is never larger
// than the head and twice the tail, and always ends with what came last.
TEST(CappedLogTest, TheHeadAndTheLatestOutputAreKeptAndNothingMore) {
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        StringFile file;
        CappedLog log(file, 100, 300);
        std::string output;
        for (int chunk = 0; chunk < 200; ++chunk) {
            std::string bytes(random() % 40, 'a' + static_cast<char>(chunk % 26));
            bytes += random() % 3 == 0 ? "\r" : "\n";
            output += bytes;
            log.Take(bytes);
            ASSERT_TRUE(file.text.ends_with(bytes));
            ASSERT_LE(file.text.size(), 100 + 2 * 300 + CappedLog::LeftOutLine(1 << 20).size());
        }
        ASSERT_TRUE(file.text.starts_with(output.substr(0, 100)));
        if (log.LeftOut() == 0) {
            EXPECT_EQ(file.text, output);
            continue;
        }
        const std::string marker = CappedLog::LeftOutLine(log.LeftOut());
        ASSERT_EQ(file.text.substr(100, marker.size()), marker);
        const std::string tail = file.text.substr(100 + marker.size());
        EXPECT_EQ(100 + log.LeftOut() + tail.size(), output.size());
        EXPECT_TRUE(output.ends_with(tail));
        const char before = output[output.size() - tail.size() - 1];
        EXPECT_TRUE(before == '\n' || before == '\r');  // the tail starts a line
    }
}

TEST(CappedLogTest, AFileThatRefusesMoreIsLeftAsItIs) {
    StringFile file;
    CappedLog log(file, 4, 8);
    log.Take("head");
    file.full = true;
    log.Take("more");
    log.Take("and more");
    EXPECT_EQ(file.text, "headmore");
    EXPECT_EQ(log.LeftOut(), 8u);
}

}  // namespace
}  // namespace palomix
