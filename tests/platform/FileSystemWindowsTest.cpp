// The file system services with Windows paths and names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FileSystemTestTree.h"

namespace palomix {
namespace {

using testing::TestTree;

TEST(FullPathOfWindowsTest, ResolvesDotsByText) {
    EXPECT_EQ(FullPathOf("C:\\a\\.\\b\\..\\c"), "C:\\a\\c");
    EXPECT_EQ(FullPathOf("C:\\a\\\\b\\"), "C:\\a\\b\\");
    EXPECT_EQ(FullPathOf("C:\\.."), "C:\\");
    EXPECT_EQ(FullPathOf(""), "");
    const std::u8string cwd = std::filesystem::current_path().u8string();
    EXPECT_EQ(FullPathOf("x\\y"), std::string(cwd.begin(), cwd.end()) + "\\x\\y");
}

// Names differ in case only on POSIX; here the order ignoring case is seen with one of each.
TEST(FolderListingWindowsTest, ListsInNameOrderIgnoringCaseWithUtf8Names) {
    const TestTree tree;
    for (const char* name : {"b.avi", "A.avi", "C", "_x", "動画.mp4"}) {
        tree.File(name);
    }
    FolderListing listing;
    ASSERT_TRUE(listing.Read(tree.Root()));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < listing.Count(); ++i) {
        names.emplace_back(listing.Name(i));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A.avi", "b.avi", "C", "_x", "動画.mp4"}));
}

}  // namespace
}  // namespace palomix
