#include "platform/ConsoleText.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace palomix
