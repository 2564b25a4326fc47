#include "platform/LogTail.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileSystemTestTree.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

class LogTailTest : public ::testing::Test {
protected:
    std::string Write(const std::string& text) {
        const std::string path = tree_.Path("ログ.log");
        std::ofstream(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary) << text;
        return path;
    }

    testing::TestTree tree_;
};

TEST_F(LogTailTest, LastLinesOldestFirstWhateverTheLineEnds) {
    EXPECT_EQ(LastLines(Write("a\nb\nc\n"), 2), (Lines{"b", "c"}));
    EXPECT_EQ(LastLines(Write("a\nb\nc"), 2), (Lines{"b", "c"}));
    EXPECT_EQ(LastLines(Write("a\r\nb\r\nc\r\n"), 5), (Lines{"a", "b", "c"}));
    EXPECT_EQ(LastLines(Write("frame=1\rframe=2\rerror: bad\n"), 2),
              (Lines{"frame=2", "error: bad"}));
    EXPECT_EQ(LastLines(Write("a\n\nb\n"), 3), (Lines{"a", "", "b"}));
    EXPECT_EQ(LastLines(Write("only"), 20), (Lines{"only"}));
    EXPECT_EQ(LastLines(Write("a\nb\n"), 0), Lines{});
}

TEST_F(LogTailTest, EmptyOrMissingFileHasNoLines) {
    EXPECT_EQ(LastLines(Write(""), 20), Lines{});
    EXPECT_EQ(LastLines(tree_.Path("missing.log"), 20), Lines{});
    EXPECT_EQ(LastLines(tree_.Root(), 20), Lines{});
}

TEST_F(LogTailTest, ReadsOnlyTheEndOfABigLog) {
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "line " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(LastLines(Write(text), 2), (Lines{"line 99998", "line 99999"}));
    // A line cut by the byte limit keeps its end only, starting at a whole character.
    EXPECT_EQ(LastLines(Write("xx日本\nend\n"), 5, 10), (Lines{"本", "end"}));
}

}  // namespace
}  // namespace palomix
