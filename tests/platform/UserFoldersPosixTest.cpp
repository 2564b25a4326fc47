// The user's folders from the XDG variables and files, and the write probe of a folder.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/FileSystem.h"
#include "platform/UserFolders.h"
#include "tests/platform/FileSystemTestTree.h"
#include "tests/platform/ScopedEnvironment.h"

namespace palomix::testing {
namespace {

TEST(UserFoldersPosixTest, TheConfigurationFolderAndTheVideosFolderFollowTheXdgRules) {
    const TestTree tree;
    const std::string home = tree.Path("home");
    const ScopedEnvironment homeVariable("HOME", home);
    {
        const ScopedEnvironment config("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(ProgramUserFolder(), home + "/.config/palomix");
        EXPECT_EQ(UserVideosFolder(), std::nullopt);  // no user-dirs.dirs
        EXPECT_EQ(HomeFolder(), home);
    }
    {
        // A relative value is to be ignored.
        const ScopedEnvironment config("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(ProgramUserFolder(), home + "/.config/palomix");
        const ScopedEnvironment state("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(ProgramStateFolder(), home + "/.local/state/palomix");
    }
    {
        const ScopedEnvironment state("XDG_STATE_HOME", "/var/state");
        EXPECT_EQ(ProgramStateFolder(), "/var/state/palomix");
    }
    const std::string config = tree.Path("config");
    std::filesystem::create_directories(config);
    std::ofstream(config + "/user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n";
    const ScopedEnvironment configVariable("XDG_CONFIG_HOME", config);
    EXPECT_EQ(ProgramUserFolder(), config + "/palomix");
    EXPECT_EQ(UserVideosFolder(), home + "/Filme");
}

TEST(UserFoldersPosixTest, TheWriteProbeTriesInsteadOfReadingPermissionBits) {
    const TestTree tree;
    const std::string folder = tree.Path("out");
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(FolderAcceptsNewFiles(folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder));  // the probe is gone again
    EXPECT_FALSE(FolderAcceptsNewFiles(tree.Path("missing")));
    EXPECT_FALSE(FolderAcceptsNewFiles("/proc"));

    // The bits say "read-only"; the administrator may write all the same.
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(FolderAcceptsNewFiles(folder), ::geteuid() == 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

}  // namespace
}  // namespace palomix::testing
