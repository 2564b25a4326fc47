// The file system services where POSIX has its own notions: hidden dot files, permission bits,
// file times set through utimensat, symbolic links, paths from '/', names that differ only in
// case, entry data read only when asked for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileSystemTestTree.h"

namespace palomix {
namespace {

using testing::TestTree;

std::vector<std::string> NamesOf(const FolderListing& listing) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < listing.Count(); ++i) {
        names.emplace_back(listing.Name(i));
    }
    return names;
}

// Sets the last write time of a file to a local date and time.
void SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute,
                       int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Only Windows keeps an archive flag; new files there have it set.
TEST(LookUpEntryPosixTest, NoArchiveFlag) {
    const TestTree tree;
    EXPECT_FALSE(LookUpEntry(tree.File("clip.mp4"))->IsArchive);
}

TEST(LookUpEntryPosixTest, HiddenAndReadOnlyFlags) {
    const TestTree tree;
    const std::string hidden = tree.File(".settings");
    const std::string readOnly = tree.File("locked.avi");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);

    EXPECT_TRUE(LookUpEntry(hidden)->IsHidden);
    EXPECT_FALSE(LookUpEntry(hidden)->IsReadOnly);
    EXPECT_TRUE(LookUpEntry(readOnly)->IsReadOnly);
    EXPECT_FALSE(LookUpEntry(readOnly)->IsHidden);
}

TEST(LookUpEntryPosixTest, TimesFollowDosDateTimeRules) {
    const TestTree tree;
    const std::string old = tree.File("old.avi");
    const timespec epoch[2] = {{86400, 0}, {86400, 0}};  // 1970-01-02
    ASSERT_EQ(::utimensat(AT_FDCWD, old.c_str(), epoch, 0), 0);
    const auto oldInfo = LookUpEntry(old);
    EXPECT_FALSE(oldInfo->HasLastWriteTime);
    EXPECT_FALSE(oldInfo->HasLastAccessTime);
    EXPECT_EQ(oldInfo->LastWriteTime, 0.0);

    const std::string recent = tree.File("recent.avi");
    SetLocalWriteTime(recent, 2001, 2, 3, 4, 5, 7);
    const auto recentInfo = LookUpEntry(recent);
    ASSERT_TRUE(recentInfo->HasLastWriteTime);
    EXPECT_DOUBLE_EQ(recentInfo->LastWriteTime, *DosDateTimeOf(2001, 2, 3, 4, 5, 6));
}

TEST(FolderListingPosixTest, LinksAreDescribedByTheirTargetButNeverWalked) {
    const TestTree tree;
    tree.Folder("real");
    tree.File("file.avi", "12");
    std::filesystem::create_directory_symlink(tree.Path("real"), tree.Path("linkdir"));
    std::filesystem::create_symlink(tree.Path("file.avi"), tree.Path("linkfile"));
    std::filesystem::create_symlink(tree.Path("gone"), tree.Path("dangling"));

    FolderListing listing;
    ASSERT_TRUE(listing.Read(tree.Root()));
    ASSERT_EQ(NamesOf(listing),
              (std::vector<std::string>{"dangling", "file.avi", "linkdir", "linkfile", "real"}));
    EXPECT_FALSE(listing.IsWalkableFolder(0));
    EXPECT_FALSE(listing.IsWalkableFolder(1));
    EXPECT_FALSE(listing.IsWalkableFolder(2));
    EXPECT_FALSE(listing.IsWalkableFolder(3));
    EXPECT_TRUE(listing.IsWalkableFolder(4));

    FileEntryInfo info;
    listing.ReadInfo(2, info);
    EXPECT_TRUE(info.IsDirectory);
    listing.ReadInfo(3, info);
    EXPECT_FALSE(info.IsDirectory);
    EXPECT_EQ(info.Size, 2);
    listing.ReadInfo(0, info);
    EXPECT_EQ(info.FileName, "dangling");
    EXPECT_FALSE(info.IsDirectory);
}

TEST(FullPathOfPosixTest, ResolvesDotsByText) {
    EXPECT_EQ(FullPathOf("/a/./b/../c"), "/a/c");
    EXPECT_EQ(FullPathOf("/a//b/"), "/a/b/");
    EXPECT_EQ(FullPathOf("/.."), "/");
    EXPECT_EQ(FullPathOf("/"), "/");
    EXPECT_EQ(FullPathOf(""), "");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(FullPathOf("x/y"), cwd + "/x/y");
    EXPECT_EQ(FullPathOf("."), cwd);
}

TEST(FolderListingPosixTest, ListsInNameOrderIgnoringCase) {
    const TestTree tree;
    for (const char* name : {"b.avi", "A.avi", "a.avi", "C", ".hidden", "_x", "動画.mp4"}) {
        tree.File(name);
    }
    FolderListing listing;
    ASSERT_TRUE(listing.Read(tree.Root()));
    EXPECT_EQ(NamesOf(listing), (std::vector<std::string>{".hidden", "A.avi", "a.avi", "b.avi", "C",
                                                          "_x", "動画.mp4"}));
}

TEST(FolderListingPosixTest, VanishedEntryKeepsItsName) {
    const TestTree tree;
    const std::string file = tree.File(".gone");
    FolderListing listing;
    ASSERT_TRUE(listing.Read(tree.Root()));
    std::filesystem::remove(file);
    FileEntryInfo info;
    info.Size = 99;
    listing.ReadInfo(0, info);
    EXPECT_EQ(info.FileName, ".gone");
    EXPECT_EQ(info.Size, 0);
    EXPECT_TRUE(info.IsHidden);
    EXPECT_FALSE(info.HasLastWriteTime);
}

}  // namespace
}  // namespace palomix
