// Where a portable and an installed copy keep the user's files.
#include "settings/ProgramPlaces.h"

#include "platform/PathRules.h"

#include <gtest/gtest.h>

namespace palomix {
namespace {

TEST(ProgramPlacesTest, AWritableProgramFolderKeepsEverything) {
    PlaceFacts facts;
    facts.userFolder = "/home/u/.config/palomix";
    facts.videosFolder = "/home/u/Videos";
    const ProgramPlaces places = DecideProgramPlaces("/opt/palomix", facts);
    EXPECT_TRUE(places.portable);
    EXPECT_EQ(places.stateFile, JoinPath("/opt/palomix", "Palomix.ini"));
    EXPECT_EQ(places.userSettingsFolder, "");
    EXPECT_EQ(places.defaultOutputFolder, "/opt/palomix");
}

TEST(ProgramPlacesTest, AnInstalledCopyUsesTheUsersFoldersAndFallsBackStepByStep) {
    PlaceFacts facts;
    facts.programFolderWritable = false;
    facts.userFolder = "/home/u/.config/palomix";
    facts.videosFolder = "/home/u/Movies";
    facts.homeFolder = "/home/u";
    ProgramPlaces places = DecideProgramPlaces("/opt/palomix", facts);
    EXPECT_FALSE(places.portable);
    EXPECT_EQ(places.stateFile, JoinPath("/home/u/.config/palomix", "Palomix.ini"));
    EXPECT_EQ(places.userSettingsFolder, JoinPath("/home/u/.config/palomix", "convert_settings"));
    EXPECT_EQ(places.defaultOutputFolder, "/home/u/Movies");

    facts.videosFolder.reset();
    EXPECT_EQ(DecideProgramPlaces("/opt/palomix", facts).defaultOutputFolder, "/home/u");

    // Nowhere of the user's own: the save fails naming the program folder's file.
    facts.userFolder.reset();
    facts.homeFolder.reset();
    places = DecideProgramPlaces("/opt/palomix", facts);
    EXPECT_EQ(places.stateFile, JoinPath("/opt/palomix", "Palomix.ini"));
    EXPECT_EQ(places.userSettingsFolder, "");
    EXPECT_EQ(places.defaultOutputFolder, "/opt/palomix");
}

}  // namespace
}  // namespace palomix
