// The folder search where POSIX permissions stop it and links make loops.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "controllogic/SearchFileFixture.h"

namespace palomix {
namespace {

class SearchFilePosixTest : public testing::SearchFileTest {};

TEST_F(SearchFilePosixTest, LinkLoopIsReportedOnceAndNotWalked) {
    std::filesystem::create_directory_symlink(tree_.Path("v"), tree_.Path("v/Sub/Loop"));
    search_.SetRecursive(true);
    std::optional<bool> loopIsDirectory;
    search_.SetOnFind(
        [&](TSearchFile&, const std::string& name, const TSearchFileData& data, bool&) {
            found_.push_back(Relative(name));
            if (data.FileName() == "Loop") {
                loopIsDirectory = data.IsDirectory();
            }
        });
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(FolderList(), (std::vector<std::string>{"v", "v/Sub", "v/Sub2", "v/Sub/Deep"}));
    EXPECT_EQ(found_,
              (std::vector<std::string>{"v/a.avi", "v/Sub", "v/Sub2", "v/Sub/Deep", "v/Sub/Loop",
                                        "v/Sub/y.avi", "v/Sub2/w.avi", "v/Sub/Deep/z.avi"}));
    EXPECT_EQ(loopIsDirectory, true);
}

TEST_F(SearchFilePosixTest, UnreadableFolderIsPassedOver) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    ASSERT_EQ(::chmod(tree_.Path("v/Sub").c_str(), 0), 0);
    search_.SetRecursive(true);
    EXPECT_TRUE(search_.Search());
    EXPECT_EQ(found_, (std::vector<std::string>{"v/a.avi", "v/Sub", "v/Sub2", "v/Sub2/w.avi"}));
}

}  // namespace
}  // namespace palomix
