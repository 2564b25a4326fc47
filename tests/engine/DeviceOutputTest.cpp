#include "engine/DeviceOutput.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "DeviceOutputFakes.h"
#include "engine/CommandLine.h"

namespace palomix {
namespace {

using testing::FakeDevices;
using testing::TempFolder;

constexpr auto kWin = PathStyle::Windows;
constexpr auto kPosix = PathStyle::Posix;

bool IsFolderOnDisk(const std::string& path) {
    return std::filesystem::is_directory(std::u8string(path.begin(), path.end()));
}

void PspVideo(std::string& line, DeviceAccess& devices, PathStyle style = kPosix) {
    InsertDevicePaths(line, "<%PSPVideoOutputFile%>", kPspMarkerFolder, kVideoFolder, "clip",
                      devices, style);
}

// Temporary folders as drives: "psp" carries PSP/GAME, "walkman" MP_ROOT, "plain" nothing.
class DeviceOutputOnDisk : public ::testing::Test {
protected:
    TempFolder temp;
    std::string psp = temp.MakeFolder("psp");
    std::string walkman = temp.MakeFolder("walkman");
    std::string plain = temp.MakeFolder("plain");

    void SetUp() override {
        temp.MakeFolder("psp/PSP/GAME");
        temp.MakeFolder("walkman/MP_ROOT");
    }
};

TEST_F(DeviceOutputOnDisk, PspAndWalkmanAttachedAtOnce) {
    const auto devices = FolderDeviceAccess({plain, walkman, psp});
    const CommandValues values{"/movies/clip.mpg", "/out", "/conv"};
    const std::optional<std::string> line =
        PrepareCommandLine(R"(f "<%PSPVideoOutputFile%>.MP4" "<%WALKMANMusicOutputFile%>.mp3")",
                           values, *devices, kPosix);

    EXPECT_EQ(line, "f \"" + psp + "/VIDEO/clip.MP4\" \"" + walkman + "/MUSIC/clip.mp3\"");
    // Each media folder exists before the line is handed back, and only where it is used.
    EXPECT_TRUE(IsFolderOnDisk(temp.Path("psp/VIDEO")));
    EXPECT_TRUE(IsFolderOnDisk(temp.Path("walkman/MUSIC")));
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("psp/MUSIC")));
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("walkman/VIDEO")));
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("plain/VIDEO")));
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("plain/MUSIC")));
}

TEST_F(DeviceOutputOnDisk, RandomNumberFormsUseThePspVideoFolder) {
    const auto devices = FolderDeviceAccess({psp});
    const CommandValues values{"/movies/clip.mpg", "/out", "/conv"};
    EXPECT_EQ(PrepareCommandLine(R"(f "<%OutputPath%>M4V<%RandomNumber5%>.MP4")", values, *devices,
                                 kPosix),
              "f \"" + psp + "/VIDEO/clip.MP4\"");
    EXPECT_EQ(PrepareCommandLine(R"(f "<%RandomNumber5%>.THM")", values, *devices, kPosix),
              "f \"" + psp + "/VIDEO/clip.jpg\"");
}

TEST_F(DeviceOutputOnDisk, NoPlayerLeavesNoTrace) {
    temp.MakeFolder("plain/PSP");
    temp.MakeFile("plain/PSP/GAME");  // a file named GAME does not make a PSP
    const auto devices = FolderDeviceAccess({plain, temp.Path("missing")});
    std::string line = R"(f "<%PSPVideoOutputFile%>.MP4")";
    PspVideo(line, *devices);
    EXPECT_EQ(line, R"(f ".MP4")");
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("plain/VIDEO")));
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("missing")));
}

TEST_F(DeviceOutputOnDisk, FirstOfTwoMatchingDrivesIsUsed) {
    const std::string second = temp.MakeFolder("second psp");
    temp.MakeFolder("second psp/PSP/GAME");
    const auto devices = FolderDeviceAccess({psp, second});
    std::string line = "<%PSPVideoOutputFile%>";
    PspVideo(line, *devices);
    EXPECT_EQ(line, psp + "/VIDEO/clip");
    EXPECT_FALSE(IsFolderOnDisk(temp.Path("second psp/VIDEO")));
}

TEST(DeviceOutput, LineWithoutThePlaceholderTouchesNoDrive) {
    FakeDevices devices;
    devices.drives = {"E:"};
    devices.folders = {R"(E:\PSP\GAME)"};
    std::string line = R"(f "<%PSPMusicOutputFile%>" "<%OutputFile%>")";
    PspVideo(line, devices, kWin);
    EXPECT_EQ(line, R"(f "<%PSPMusicOutputFile%>" "<%OutputFile%>")");
    EXPECT_EQ(devices.Accesses(), 0);

    // A whole template without device placeholders, all rules run: still no drive access.
    const CommandValues values{R"(C:\m\clip.mpg)", R"(D:\out)", R"(C:\conv)"};
    EXPECT_TRUE(PrepareCommandLine(R"("<%AppPath%>\cores\ffmpeg" -i "<%InputFile%>" -b 1 -y )"
                                   R"("<%OutputFile%>.THM" "<%OutputFile%>.mp4")",
                                   values, devices, kWin));
    EXPECT_EQ(devices.Accesses(), 0);
}

TEST(DeviceOutput, WindowsDrivesAreLetterAndColon) {
    FakeDevices devices;
    devices.drives = {"A:", "C:", "E:", "F:"};
    devices.folders = {R"(E:\PSP\GAME)", R"(F:\MP_ROOT)", R"(C:\PSP)"};
    std::string line = R"("<%PSPVideoOutputFile%>.MP4" "<%WALKMANMusicOutputFile%>.mp3")";
    PspVideo(line, devices, kWin);
    InsertDevicePaths(line, "<%WALKMANMusicOutputFile%>", kWalkmanMarkerFolder, kMusicFolder,
                      "clip", devices, kWin);
    EXPECT_EQ(line, R"("E:\VIDEO\clip.MP4" "F:\MUSIC\clip.mp3")");
    EXPECT_EQ(devices.created, (std::vector<std::string>{R"(E:\VIDEO)", R"(F:\MUSIC)"}));
}

TEST(DeviceOutput, OnlyTheFirstPlaceholderIsFilled) {
    FakeDevices devices;
    devices.drives = {"E:"};
    devices.folders = {R"(E:\PSP\GAME)"};
    std::string line = "<%PSPVideoOutputFile%> <%PSPVideoOutputFile%>";
    PspVideo(line, devices, kWin);
    EXPECT_EQ(line, R"(E:\VIDEO\clip <%PSPVideoOutputFile%>)");
}

TEST(DeviceOutput, RootMountIsNotDoubled) {
    FakeDevices devices;
    devices.drives = {"/"};
    devices.folders = {"/PSP/GAME"};
    std::string line = "<%PSPVideoOutputFile%>";
    PspVideo(line, devices, kPosix);
    EXPECT_EQ(line, "/VIDEO/clip");
    EXPECT_EQ(devices.created, std::vector<std::string>{"/VIDEO"});
}

TEST(DeviceOutput, DriveErrorsArePassedOver) {
    FakeDevices devices;
    devices.drives = {"D:", "E:"};
    devices.unreadable = {"D:"};
    devices.folders = {R"(D:\PSP\GAME)", R"(E:\PSP\GAME)"};
    std::string line = "<%PSPVideoOutputFile%>";
    PspVideo(line, devices, kWin);
    EXPECT_EQ(line, R"(E:\VIDEO\clip)");

    // A write-protected player still gets its path.
    devices.createFails = true;
    line = "<%PSPVideoOutputFile%>";
    PspVideo(line, devices, kWin);
    EXPECT_EQ(line, R"(E:\VIDEO\clip)");

    // No drive list at all: as if nothing were attached.
    devices.listThrows = true;
    line = "x <%PSPVideoOutputFile%>.MP4";
    PspVideo(line, devices, kWin);
    EXPECT_EQ(line, "x .MP4");
}

TEST(DeviceOutput, PlayerAttachedBetweenTwoLinesIsUsedFromTheNextOn) {
    FakeDevices devices;
    devices.drives = {"C:"};
    std::string first = "<%PSPVideoOutputFile%>";
    PspVideo(first, devices, kWin);
    EXPECT_EQ(first, "");

    devices.drives = {"C:", "E:"};
    devices.folders = {R"(E:\PSP\GAME)"};
    std::string second = "<%PSPVideoOutputFile%>";
    PspVideo(second, devices, kWin);
    EXPECT_EQ(second, R"(E:\VIDEO\clip)");
    EXPECT_EQ(devices.listCalls, 2);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(DeviceOutputOnDisk, AMissingPlayerIsNamed) {
    const auto devices = FolderDeviceAccess({plain, psp});
    const CommandValues values{"/movies/clip.mpg", "/out", "/conv"};
    PreparationNotes notes;
    notes.missingPlayer = "stale";
    EXPECT_EQ(PrepareCommandLine(R"(f "<%PSPVideoOutputFile%>.MP4" "<%WALKMANMusicOutputFile%>")",
                                 values, *devices, kPosix, &notes),
              "f \"" + psp + "/VIDEO/clip.MP4\" \"\"");
    EXPECT_EQ(notes.missingPlayer, "WALKMAN");
    ASSERT_EQ(notes.places.size(), 1u);  // where the PSP's output went
    EXPECT_EQ(notes.places[0].folder, psp + "/VIDEO");
    EXPECT_EQ(notes.places[0].drive, psp);
    EXPECT_EQ(PrepareCommandLine(R"(f "<%RandomNumber5%>.THM")", values, *devices, kPosix, &notes),
              "f \"" + psp + "/VIDEO/clip.jpg\"");
    EXPECT_EQ(notes.missingPlayer, "");
    // No placeholder: nothing is missing and no drive is asked.
    std::string line = "f x";
    EXPECT_TRUE(InsertDevicePaths(line, "<%PSPMusicOutputFile%>", kPspMarkerFolder, kMusicFolder,
                                  "clip", *devices, kPosix));
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(DeviceOutputOnDisk, NamesAPlayersCardRefusesAreMadeSafeOnThePlayerOnly) {
    const auto devices = FolderDeviceAccess({psp});
    const CommandValues values{"/m/Q&A: part 1?.mp4", "/out", "/conv"};
    EXPECT_EQ(PrepareCommandLine(R"(f "<%PSPVideoOutputFile%>.MP4" "<%OutputFile%>.mp4")", values,
                                 *devices, kPosix),
              "f \"" + psp + "/VIDEO/Q&A_ part 1_.MP4\" \"/out/Q&A: part 1?.mp4\"");
    EXPECT_EQ(FatSafeName("a<b>c|d\"e\\f/g*h\x01 . ."), "a_b_c_d_e_f_g_h_");
    EXPECT_EQ(FatSafeName("..."), "_");
    // 300 kana are cut to 255 units, whole characters only.
    std::string kana;
    for (int i = 0; i < 300; ++i) {
        kana += "\xE3\x81\x82";
    }
    EXPECT_EQ(FatSafeName(kana).size(), 255u * 3);
}

}  // namespace
}  // namespace palomix
