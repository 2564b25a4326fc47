#include "platform/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

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

TEST(DosDateTimeTest, CountsDaysFrom1899AndTimeAsFraction) {
    EXPECT_DOUBLE_EQ(*DosDateTimeOf(1980, 1, 1, 0, 0, 0), 29221.0);
    EXPECT_DOUBLE_EQ(*DosDateTimeOf(2000, 2, 29, 12, 0, 0), 36585.5);
    EXPECT_DOUBLE_EQ(*DosDateTimeOf(2000, 3, 1, 6, 0, 0), 36586.25);
}

TEST(DosDateTimeTest, HoldsOnlyYears1980To2107) {
    EXPECT_FALSE(DosDateTimeOf(1979, 12, 31, 23, 59, 58).has_value());
    EXPECT_TRUE(DosDateTimeOf(2107, 12, 31, 23, 59, 59).has_value());
    EXPECT_FALSE(DosDateTimeOf(2108, 1, 1, 0, 0, 0).has_value());
    EXPECT_FALSE(DosDateTimeOf(2001, 2, 29, 0, 0, 0).has_value());
    EXPECT_FALSE(DosDateTimeOf(2001, 13, 1, 0, 0, 0).has_value());
}

TEST(DosDateTimeTest, RoundsSecondsDownToEven) {
    EXPECT_EQ(*DosDateTimeOf(2001, 2, 3, 4, 5, 7), *DosDateTimeOf(2001, 2, 3, 4, 5, 6));
    EXPECT_LT(*DosDateTimeOf(2001, 2, 3, 4, 5, 7), *DosDateTimeOf(2001, 2, 3, 4, 5, 8));
}

TEST(LookUpEntryTest, DescribesAFileAndAFolder) {
    const TestTree tree;
    const std::string file = tree.File("clip.mp4", "12345");
    const std::string folder = tree.Folder("Sub");

    const auto fileInfo = LookUpEntry(file);
    ASSERT_TRUE(fileInfo.has_value());
    EXPECT_EQ(fileInfo->FileName, "clip.mp4");
    EXPECT_EQ(fileInfo->AlternateName, "clip.mp4");
    EXPECT_EQ(fileInfo->Size, 5);
    EXPECT_FALSE(fileInfo->IsDirectory);
    EXPECT_FALSE(fileInfo->IsHidden);
    EXPECT_FALSE(fileInfo->IsSystem);
    EXPECT_FALSE(fileInfo->IsArchive);
    EXPECT_TRUE(fileInfo->HasLastWriteTime);
    EXPECT_TRUE(fileInfo->HasCreationTime);
    EXPECT_TRUE(fileInfo->HasLastAccessTime);

    const auto folderInfo = LookUpEntry(folder);
    ASSERT_TRUE(folderInfo.has_value());
    EXPECT_EQ(folderInfo->FileName, "Sub");
    EXPECT_TRUE(folderInfo->IsDirectory);
}

TEST(LookUpEntryTest, FailsForMissingPathsAndPathsEndingInASeparator) {
    const TestTree tree;
    const std::string folder = tree.Folder("Sub");
    EXPECT_FALSE(LookUpEntry(tree.Path("missing.avi")).has_value());
    EXPECT_FALSE(LookUpEntry(folder + "/").has_value());
    EXPECT_FALSE(LookUpEntry("/").has_value());
    EXPECT_FALSE(LookUpEntry("").has_value());
}

TEST(LookUpEntryTest, HiddenAndReadOnlyFlags) {
    const TestTree tree;
    const std::string hidden = tree.File(".settings");
    const std::string readOnly = tree.File("locked.avi");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);

    EXPECT_TRUE(LookUpEntry(hidden)->IsHidden);
    EXPECT_FALSE(LookUpEntry(hidden)->IsReadOnly);
    EXPECT_TRUE(LookUpEntry(readOnly)->IsReadOnly);
    EXPECT_FALSE(LookUpEntry(readOnly)->IsHidden);
}

TEST(LookUpEntryTest, TimesFollowDosDateTimeRules) {
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

TEST(FileSystemTest, ExistenceTests) {
    const TestTree tree;
    const std::string file = tree.File("a.avi");
    EXPECT_TRUE(PathExists(file));
    EXPECT_FALSE(IsFolder(file));
    EXPECT_TRUE(PathExists(tree.Root()));
    EXPECT_TRUE(IsFolder(tree.Root()));
    EXPECT_FALSE(PathExists(tree.Path("missing")));
    EXPECT_FALSE(IsFolder(tree.Path("missing")));
    EXPECT_FALSE(PathExists(""));
}

TEST(CreateFolderTreeTest, CreatesEveryMissingParent) {
    const TestTree tree;
    const std::string deep = tree.Path("out/video/2024/");
    EXPECT_TRUE(CreateFolderTree(deep));
    EXPECT_TRUE(IsFolder(tree.Path("out/video/2024")));
    EXPECT_TRUE(CreateFolderTree(deep));  // already there
    EXPECT_TRUE(CreateFolderTree(tree.Path("a//b")));
    EXPECT_TRUE(IsFolder(tree.Path("a/b")));
}

TEST(CreateFolderTreeTest, FailsWithoutThrowingWhenAFileIsInTheWay) {
    const TestTree tree;
    const std::string file = tree.File("taken");
    EXPECT_FALSE(CreateFolderTree(file));
    EXPECT_FALSE(CreateFolderTree(file + "/below"));
    EXPECT_FALSE(CreateFolderTree(""));
}

TEST(FullPathOfTest, ResolvesDotsByText) {
    EXPECT_EQ(FullPathOf("/a/./b/../c"), "/a/c");
    EXPECT_EQ(FullPathOf("/a//b/"), "/a/b/");
    EXPECT_EQ(FullPathOf("/.."), "/");
    EXPECT_EQ(FullPathOf("/"), "/");
    EXPECT_EQ(FullPathOf(""), "");
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(FullPathOf("x/y"), cwd + "/x/y");
    EXPECT_EQ(FullPathOf("."), cwd);
}

TEST(FolderListingTest, ListsInNameOrderIgnoringCase) {
    const TestTree tree;
    for (const char* name : {"b.avi", "A.avi", "a.avi", "C", ".hidden", "_x", "動画.mp4"}) {
        tree.File(name);
    }
    FolderListing listing;
    ASSERT_TRUE(listing.Read(tree.Root()));
    EXPECT_EQ(NamesOf(listing), (std::vector<std::string>{".hidden", "A.avi", "a.avi", "b.avi", "C",
                                                          "_x", "動画.mp4"}));
}

TEST(FolderListingTest, MissingFolderGivesNothing) {
    const TestTree tree;
    FolderListing listing;
    tree.File("x");
    ASSERT_TRUE(listing.Read(tree.Root()));
    EXPECT_FALSE(listing.Read(tree.Path("missing")));
    EXPECT_EQ(listing.Count(), 0U);
    EXPECT_FALSE(listing.Read(tree.Path("x")));  // a file is no folder
}

TEST(FolderListingTest, AppendKeepsEarlierFoldersReadable) {
    const TestTree tree;
    tree.File("one/a.avi", "abc");
    tree.File("two/b.avi", "abcdef");
    FolderListing listing;
    ASSERT_TRUE(listing.Append(tree.Path("one")));
    ASSERT_TRUE(listing.Append(tree.Path("two")));
    EXPECT_FALSE(listing.Append(tree.Path("three")));
    ASSERT_EQ(NamesOf(listing), (std::vector<std::string>{"a.avi", "b.avi"}));

    FileEntryInfo info;
    listing.ReadInfo(0, info);  // from the folder listed first, no longer open
    EXPECT_EQ(info.FileName, "a.avi");
    EXPECT_EQ(info.Size, 3);
    listing.ReadInfo(1, info);
    EXPECT_EQ(info.Size, 6);
}

TEST(FolderListingTest, LinksAreDescribedByTheirTargetButNeverWalked) {
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

TEST(FolderListingTest, VanishedEntryKeepsItsName) {
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
