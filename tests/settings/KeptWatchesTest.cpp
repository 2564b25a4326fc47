#include "settings/KeptWatches.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "settings/StateFile.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

// The watches come back as they were kept, quotes, blanks and Japanese included, beside the
// window's own keys; a list that shrank reads as the shorter one; a watch whose names the file
// cannot keep is left out and named; a damaged entry is passed over.
TEST(KeptWatchesTest, WatchesComeBackAsKeptBesideTheWindowsOwnKeys) {
    std::random_device random;
    const fs::path root =
        fs::temp_directory_path() / ("palomix-watches-" + std::to_string(random()));
    fs::create_directories(root);
    const std::string path = StateFilePath(root.string());
    SaveApplicationState(path, ApplicationState{});

    std::vector<KeptWatch> watches{
        {"/home/me/\"カメラ\" ",
         {"/p/convert_settings/phone_tablet.ini", 2},
         "/home/me/out",
         true,
         false},
        {"/media/card", {"/p/music.ini", 0}, "/media/card/out", false, true},
    };
    EXPECT_TRUE(SaveKeptWatches(path, watches).empty());
    IniReader reader;
    EXPECT_EQ(ReadKeptWatches(reader, path), watches);
    EXPECT_TRUE(ReadApplicationState(reader, path).outputFolder.has_value());

    const std::vector<KeptWatch> one{watches[1],
                                     {"/bad\xFF", {"/p/music.ini", 0}, "/o", false, false}};
    EXPECT_EQ(SaveKeptWatches(path, one), std::vector<std::string>{"/bad\xFF"});
    EXPECT_EQ(ReadKeptWatches(reader, path), std::vector<KeptWatch>{watches[1]});

    std::ofstream(path, std::ios::app) << "[WATCH]\n";  // a second section of the name: ignored
    WriteIniStrings(path, "WATCH", {{"ITEM1", "x"}});
    EXPECT_TRUE(ReadKeptWatches(reader, path).empty());
    EXPECT_TRUE(ReadKeptWatches(reader, (root / "none.ini").string()).empty());
    fs::remove_all(root);
}

}  // namespace
}  // namespace palomix
