#include "platform/FileSystem.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace palomix
