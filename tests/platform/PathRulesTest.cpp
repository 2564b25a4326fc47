#include "platform/PathRules.h"

#include <gtest/gtest.h>

namespace palomix {
namespace {

constexpr auto kWin = PathStyle::Windows;
constexpr auto kPosix = PathStyle::Posix;

TEST(PathRules, BaseNameFollowsTheTwoStepsInBothStyles) {
    EXPECT_EQ(BaseNameOf(R"(C:\movies\clip.mpg)", kWin), "clip");
    EXPECT_EQ(BaseNameOf(R"(C:\movies\archive.tar.gz)", kWin), "archive.tar");
    EXPECT_EQ(BaseNameOf(R"(C:\old.dir\clip)", kWin), "clip");
    EXPECT_EQ(BaseNameOf(R"(C:\movies\.avi)", kWin), "");
    EXPECT_EQ(BaseNameOf("C:clip.avi", kWin), "clip");

    EXPECT_EQ(BaseNameOf("/movies/clip.mpg", kPosix), "clip");
    EXPECT_EQ(BaseNameOf("/movies/archive.tar.gz", kPosix), "archive.tar");
    EXPECT_EQ(BaseNameOf("/old.dir/clip", kPosix), "clip");
    EXPECT_EQ(BaseNameOf("/movies/.avi", kPosix), "");
    // A backslash and a colon are ordinary characters of a POSIX name.
    EXPECT_EQ(BaseNameOf("/m/a\\b:c.mp4", kPosix), "a\\b:c");
}

TEST(PathRules, FileNameSplitsAtTheLastSeparatorOnly) {
    EXPECT_EQ(FileNameOf(R"(C:\v\clip.mp4)", kWin), "clip.mp4");
    EXPECT_EQ(FileNameOf("C:clip.mp4", kWin), "clip.mp4");
    EXPECT_EQ(FileNameOf(R"(C:\v\)", kWin), "");
    EXPECT_EQ(FileNameOf("clip.mp4", kWin), "clip.mp4");
    EXPECT_EQ(FileNameOf("/v/クリップ 1.mp4", kPosix), "クリップ 1.mp4");
    // Japanese text never yields a separator from inside a character.
    EXPECT_EQ(FileNameOf(R"(C:\表示\ソ.mp4)", kWin), "ソ.mp4");
}

TEST(PathRules, FolderKeepsTheSeparatorOnlyAtARoot) {
    EXPECT_EQ(FolderOf(R"(C:\Palomix\Palomix.exe)", kWin), R"(C:\Palomix)");
    EXPECT_EQ(FolderOf(R"(C:\Palomix.exe)", kWin), R"(C:\)");
    EXPECT_EQ(FolderOf("/opt/palomix/palomix", kPosix), "/opt/palomix");
    EXPECT_EQ(FolderOf("/palomix", kPosix), "/");
    EXPECT_EQ(FolderOf("palomix", kPosix), "");
}

TEST(PathRules, JoinAddsOneSeparator) {
    EXPECT_EQ(JoinPath(R"(C:\v)", "a.avi", kWin), R"(C:\v\a.avi)");
    EXPECT_EQ(JoinPath(R"(C:\)", "a.avi", kWin), R"(C:\a.avi)");
    EXPECT_EQ(JoinPath("/v", "a.avi", kPosix), "/v/a.avi");
    EXPECT_EQ(JoinPath("/", "a.avi", kPosix), "/a.avi");
}

}  // namespace
}  // namespace palomix
