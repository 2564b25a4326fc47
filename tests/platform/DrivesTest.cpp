#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/PathRules.h"

namespace palomix {
namespace {

std::filesystem::path FromText(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string TextOf(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A fresh folder below the system's temporary folder, removed with everything in it.
class DrivesOnDisk : public ::testing::Test {
protected:
    std::filesystem::path root;

    void SetUp() override {
        std::random_device random;
        root = std::filesystem::temp_directory_path() /
               ("palomix-drives-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(root);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string At(const std::string& relative) const { return TextOf(root / FromText(relative)); }
};

TEST(DrivesFromMountTable, KeepsRealFileSystemsSortedByPath) {
    const char* table =
        "proc /proc proc rw,nosuid 0 0\n"
        "sysfs /sys sysfs rw 0 0\n"
        "/dev/sdb1 /media/user/PSP\\040CARD vfat rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "devpts /dev/pts devpts rw 0 0\n"
        "overlay / overlay rw 0 0\n"
        "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
        "/dev/sda1 /home ext4 rw 0 0\n"
        "/dev/sdc1 /media/user/back\\134slash\\011tab fuseblk rw 0 0\n"
        "/dev/sda1 /home ext4 rw 0 0\n"  // mounted twice, listed once
        "/dev/sdd1 /media/user/W\xC3\x84LKMAN vfat rw 0 0\n";
    EXPECT_EQ(
        DrivesFromMountTable(table),
        (std::vector<std::string>{"/", "/home", "/media/user/PSP CARD",
                                  "/media/user/W\xC3\x84LKMAN", "/media/user/back\\slash\ttab"}));
}

TEST(DrivesFromMountTable, BrokenLinesNameNoDrive) {
    EXPECT_TRUE(DrivesFromMountTable("").empty());
    EXPECT_TRUE(DrivesFromMountTable("\n\n  \t\n").empty());
    EXPECT_EQ(DrivesFromMountTable("only two\n"
                                   "# /commented ext4 rw 0 0\n"
                                   "x relative ext4 rw 0 0\n"
                                   "\t/dev/sda2\t/data\text4  rw 0 0\r\n"
                                   "x /bad\\09escape ext4"),  // no newline at the end
              (std::vector<std::string>{"/bad\\09escape", "/data"}));
}

TEST(DrivesFromMountTable, PseudoFileSystemsAreKnown) {
    for (const char* type : {"proc", "sysfs", "devpts", "devtmpfs", "tmpfs", "cgroup", "cgroup2",
                             "securityfs", "debugfs", "tracefs", "mqueue", "binfmt_misc"}) {
        EXPECT_TRUE(IsPseudoFileSystem(type)) << type;
    }
    for (const char* type : {"ext4", "vfat", "exfat", "ntfs3", "fuseblk", "overlay", "btrfs", "nfs",
                             "iso9660", "xfs", "Proc"}) {
        EXPECT_FALSE(IsPseudoFileSystem(type)) << type;
    }
}

TEST(SystemDrives, ListsTheDrivesOfThisSystem) {
    const std::vector<std::string> drives = SystemDeviceAccess()->ListDrives();
    ASSERT_FALSE(drives.empty());
    if (NativePathStyle() == PathStyle::Windows) {
        for (const std::string& drive : drives) {
            ASSERT_EQ(drive.size(), 2u) << drive;
            EXPECT_TRUE(drive[0] >= 'A' && drive[0] <= 'Z') << drive;
            EXPECT_EQ(drive[1], ':');
        }
    } else {
        EXPECT_NE(std::find(drives.begin(), drives.end(), "/"), drives.end());
        for (const char* pseudo : {"/proc", "/sys", "/dev/pts"}) {
            EXPECT_EQ(std::find(drives.begin(), drives.end(), pseudo), drives.end()) << pseudo;
        }
    }
    EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end()));
    EXPECT_EQ(std::adjacent_find(drives.begin(), drives.end()), drives.end());
}

TEST_F(DrivesOnDisk, FolderTestTellsFoldersFromFiles) {
    const auto devices = FolderDeviceAccess({});
    std::filesystem::create_directories(root / "PSP" / "GAME");
    std::ofstream(root / "PSP" / "FILE") << "x";
    EXPECT_TRUE(devices->IsFolder(At("PSP/GAME")));
    EXPECT_FALSE(devices->IsFolder(At("PSP/FILE")));
    EXPECT_FALSE(devices->IsFolder(At("PSP/missing")));
    EXPECT_FALSE(devices->IsFolder(At("PSP/FILE/below")));
    EXPECT_FALSE(devices->IsFolder(""));
}

TEST_F(DrivesOnDisk, CreateFoldersMakesParentsAndNeverThrows) {
    const auto devices = FolderDeviceAccess({});
    EXPECT_TRUE(devices->CreateFolders(At("ビデオ 1/VIDEO")));
    EXPECT_TRUE(std::filesystem::is_directory(root / FromText("ビデオ 1") / "VIDEO"));
    EXPECT_TRUE(devices->CreateFolders(At("ビデオ 1/VIDEO")));  // already there

    std::ofstream(root / "file") << "x";
    EXPECT_FALSE(devices->CreateFolders(At("file/VIDEO")));
    EXPECT_FALSE(devices->CreateFolders(""));
}

}  // namespace
}  // namespace palomix
