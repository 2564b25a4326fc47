// The videos folder of an XDG user-dirs.dirs file.
#include "platform/UserFolders.h"

#include <gtest/gtest.h>

namespace palomix {
namespace {

TEST(UserFoldersTest, VideosFolderOfUserDirsTakesTheTwoFormsTheFileMayHold) {
    const auto videos = [](std::string_view text) {
        return VideosFolderOfUserDirs(text, "/home/me");
    };
    EXPECT_EQ(videos("# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                     "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n"),
              "/home/me/Videos");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"/srv/ビデオ\"\r\n"), "/srv/ビデオ");
    EXPECT_EQ(videos("  XDG_VIDEOS_DIR=\"$HOME/my \\\"clips\\\"\""), "/home/me/my \"clips\"");
    // $HOME alone is the home folder (xdg-user-dirs' way of saying "none of its own").
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME/\""), "/home/me");
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"$HOME\""), "/home/me");
    // The last line counts.
    EXPECT_EQ(videos("XDG_VIDEOS_DIR=\"/a\"\nXDG_VIDEOS_DIR=\"/b\"\n"), "/b");

    for (const std::string_view text :
         {"", "XDG_MUSIC_DIR=\"$HOME/Music\"\n", "XDG_VIDEOS_DIR=relative/Videos\n",
          "XDG_VIDEOS_DIR=\"Videos\"\n", "XDG_VIDEOS_DIR=\"$HOMEX/Videos\"\n",
          "XDG_VIDEOS_DIR=\"/unclosed\n", "#XDG_VIDEOS_DIR=\"/commented\"\n"}) {
        EXPECT_EQ(videos(text), std::nullopt) << text;
    }
    EXPECT_EQ(VideosFolderOfUserDirs("XDG_VIDEOS_DIR=\"$HOME/Videos\"", ""), std::nullopt);
}

}  // namespace
}  // namespace palomix
