// The drop intake with names that only POSIX file systems can hold: double quotes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/DropIntake.h"
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
        EXPECT_EQ(queue_.Cell(1, static_cast<int>(i) + 1), names[i]);
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

}  // namespace
}  // namespace palomix
