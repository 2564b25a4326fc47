// The drop intake with what only POSIX file systems hold: names with double quotes, and trees
// deeper than the path limit, built with mkdirat (no path names them whole).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/DropIntake.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemTestTree.h"

namespace palomix {
namespace {

class DropIntakePosixTest : public ::testing::Test {
protected:
    std::vector<std::string> Jobs() const {
        std::vector<std::string> jobs;
        for (std::int32_t i = 0; i < queue_.JobCount(); ++i) {
            jobs.push_back(queue_.JobPath(i));
        }
        return jobs;
    }

    testing::TestTree tree_;
    JobQueue queue_;
    DropIntake intake_{queue_};
};

TEST_F(DropIntakePosixTest, OddNamesAreTakenAsTheyAre) {
    const std::vector<std::string> names = {"with blank.avi", "quote'\"s.avi", "$HOME;rm -rf.avi",
                                            "動画 ファイル.mp4", ".hidden"};
    std::vector<std::string> drop;
    for (const std::string& name : names) {
        drop.push_back(tree_.File(name));
        tree_.File("odd $dir;'x'/" + name);
    }
    drop.push_back(tree_.Path("odd $dir;'x'"));
    intake_.TakeDrop(drop);

    ASSERT_EQ(queue_.JobCount(), 10);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(queue_.JobPath(static_cast<std::int32_t>(i)), drop[i]);
        EXPECT_EQ(queue_.FileName(static_cast<std::int32_t>(i)), names[i]);
    }
    const std::vector<std::string> jobs = Jobs();
    const std::vector<std::string> fromFolder(jobs.begin() + 5, jobs.end());
    EXPECT_EQ(fromFolder, (std::vector<std::string>{
                              tree_.Path("odd $dir;'x'/$HOME;rm -rf.avi"),
                              tree_.Path("odd $dir;'x'/.hidden"),
                              tree_.Path("odd $dir;'x'/quote'\"s.avi"),
                              tree_.Path("odd $dir;'x'/with blank.avi"),
                              tree_.Path("odd $dir;'x'/動画 ファイル.mp4"),
                          }));
}

// Removes a chain of folders `part` below `dirFd` level by level from the bottom, with
// descriptors, since no path can name the deepest ones.
void RemoveChain(int dirFd, const std::string& part) {
    const int next = ::openat(dirFd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (next < 0) {
        return;
    }
    RemoveChain(next, part);
    ::unlinkat(next, "clip.avi", 0);
    ::close(next);
    ::unlinkat(dirFd, part.c_str(), AT_REMOVEDIR);
}

TEST(DeepTreePosixTest, ATreeDeeperThanThePathLimitIsWalkedAndItsTooLongPathsAreNamed) {
    testing::TestTree tree;
    const std::string top = tree.Folder("deep");
    const std::string part(200, 'd');
    std::string path = top;
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::string shallowFile;
    // 25 levels of 200 bytes: the files below level 20 lie beyond PATH_MAX.
    for (int level = 0; level < 25; ++level) {
        ASSERT_EQ(::mkdirat(fd, part.c_str(), 0700), 0);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        path += "/" + part;
        const int file = ::openat(fd, "clip.avi", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(file, 0);
        ::close(file);
        if (level == 0) {
            shallowFile = path + "/clip.avi";
        }
    }
    ::close(fd);

    JobQueue queue;
    DropIntake intake(queue);
    const std::vector<std::string> drop = {top};
    const IntakeResult result = intake.TakeDrop(drop);

    // Every file was found: the ones a converter can open became jobs, the others are named.
    EXPECT_EQ(queue.JobCount() + static_cast<std::int32_t>(result.skipped.size()), 25);
    ASSERT_GT(queue.JobCount(), 0);
    EXPECT_EQ(queue.JobPath(0), shallowFile);
    ASSERT_FALSE(result.skipped.empty());
    for (const SkippedPath& skipped : result.skipped) {
        EXPECT_EQ(skipped.reason, SkipReason::TooLong);
        EXPECT_GT(skipped.path.size(), LongestOpenablePath());
    }
    for (std::int32_t i = 0; i < queue.JobCount(); ++i) {
        EXPECT_LE(queue.JobPath(i).size(), LongestOpenablePath());
    }

    const int topFd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    RemoveChain(topFd, part);
    ::close(topFd);
}

}  // namespace
}  // namespace palomix
