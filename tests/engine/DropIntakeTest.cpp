#include "engine/DropIntake.h"
#include "engine/EngineObserver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/FileSystemTestTree.h"

namespace palomix {
namespace {

using testing::TestTree;

class DropIntakeTest : public ::testing::Test {
protected:
    std::vector<std::string> Jobs() const {
        std::vector<std::string> jobs;
        for (std::int32_t i = 0; i < queue_.JobCount(); ++i) {
            jobs.push_back(queue_.JobPath(i));
        }
        return jobs;
    }

    TestTree tree_;
    JobQueue queue_;
    DropIntake intake_{queue_};
};

TEST_F(DropIntakeTest, FileAndFolderBecomeJobsInDropOrder) {
    const std::string file = tree_.File("a.avi");
    tree_.File("D/x.avi");
    tree_.File("D/Sub/y.avi");
    const std::string folder = tree_.Path("D");

    const std::vector<std::string> drop = {file, folder};
    const IntakeResult result = intake_.TakeDrop(drop);
    EXPECT_EQ(result.jobsAdded, 3);
    EXPECT_TRUE(result.skipped.empty());
    // The folder's own files first (by name), then those of its subfolder; a folder is never
    // a job of its own.
    EXPECT_EQ(Jobs(),
              (std::vector<std::string>{file, tree_.Path("D/x.avi"), tree_.Path("D/Sub/y.avi")}));
    EXPECT_EQ(queue_.FileName(1), "x.avi");
}

TEST_F(DropIntakeTest, FolderDroppedFirstComesFirst) {
    const std::string file = tree_.File("a.avi");
    tree_.File("D/x.avi");
    const std::vector<std::string> drop = {tree_.Path("D"), file};
    intake_.TakeDrop(drop);
    EXPECT_EQ(Jobs(), (std::vector<std::string>{tree_.Path("D/x.avi"), file}));
}

TEST_F(DropIntakeTest, EmptyFolderAddsNothing) {
    const std::vector<std::string> drop = {tree_.Folder("empty")};
    const IntakeResult result = intake_.TakeDrop(drop);
    EXPECT_EQ(result.jobsAdded, 0);
    EXPECT_TRUE(result.skipped.empty());
    EXPECT_EQ(queue_.JobCount(), 0);
}

TEST_F(DropIntakeTest, PathsThatCannotBeFoundAreSkippedAndListed) {
    const std::string file = tree_.File("a.avi");
    const std::vector<std::string> drop = {tree_.Path("missing.avi"), file, "/", ""};
    const IntakeResult result = intake_.TakeDrop(drop);
    EXPECT_EQ(Jobs(), (std::vector<std::string>{file}));
    std::vector<std::string> skipped;
    for (const SkippedPath& path : result.skipped) {
        skipped.push_back(path.path);
    }
    // A whole drive (a root) cannot be looked up.
    EXPECT_EQ(skipped,
              (std::vector<std::string>{tree_.Path("missing.avi"), IncomingPath("/"), ""}));
}

TEST_F(DropIntakeTest, EverySpellingOfAPathComesInAsTheSame) {
    tree_.File("D/x.avi");
    const std::string folder = tree_.Path("D");
    const std::vector<std::string> drop = {folder + "/", folder + "/./", folder + "/../D//x.avi"};
    intake_.TakeDrop(drop);
    const std::string file = tree_.Path("D/x.avi");
    EXPECT_EQ(Jobs(), (std::vector<std::string>{file, file, file}));
#ifndef _WIN32
    EXPECT_EQ(IncomingPath("/"), "/");
#endif
    EXPECT_EQ(IncomingPath(folder + "//"), folder);
}

TEST_F(DropIntakeTest, AWholeDropReachesObserversAsOneInsertion) {
    class Counter : public EngineObserver {
    public:
        void JobsAdded(std::int32_t first, std::int32_t count) override {
            added.emplace_back(first, count);
        }
        std::vector<std::pair<int, int>> added;
    } counter;
    queue_.SetObserver(&counter);
    for (int i = 0; i < 5; ++i) {
        tree_.File("D/" + std::to_string(i) + ".avi");
        tree_.File("D/Sub/" + std::to_string(i) + ".avi");
    }
    const std::vector<std::string> drop = {tree_.File("first.avi"), tree_.Path("D")};
    intake_.TakeDrop(drop);
    EXPECT_EQ(queue_.JobCount(), 11);
    EXPECT_EQ(counter.added, (std::vector<std::pair<int, int>>{{0, 11}}));
    queue_.SetObserver(nullptr);
}

TEST_F(DropIntakeTest, SecondDropAppendsAfterTheFirst) {
    const std::vector<std::string> first = {tree_.File("1.avi")};
    const std::vector<std::string> second = {tree_.File("2.avi")};
    intake_.TakeDrop(first);
    const IntakeResult result = intake_.TakeDrop(second);
    EXPECT_EQ(result.jobsAdded, 1);
    EXPECT_EQ(Jobs(), (std::vector<std::string>{first[0], second[0]}));
}

}  // namespace
}  // namespace palomix
