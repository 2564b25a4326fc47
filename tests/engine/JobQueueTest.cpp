#include "engine/JobQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace palomix {
namespace {

// Notes every fact as text, and replays the additions and removals on a count of its own.
class FactLog : public EngineObserver {
public:
    void JobsAdded(std::int32_t first, std::int32_t count) override {
        Note("added", first, count);
        jobs += count;
    }
    void JobsRemoved(std::int32_t first, std::int32_t count) override {
        Note("removed", first, count);
        jobs -= count;
    }
    void JobsMoved(std::int32_t first, std::int32_t count) override { Note("moved", first, count); }
    void JobStatusChanged(std::int32_t index) override { Note("status", index, 1); }

    std::vector<std::string> events;
    std::int32_t jobs = 0;

private:
    void Note(const char* what, std::int32_t first, std::int32_t count) {
        events.push_back(std::string(what) + " " + std::to_string(first) + " " +
                         std::to_string(count));
    }
};

std::vector<std::string> Names(const JobQueue& queue) {
    std::vector<std::string> names;
    for (std::int32_t index = 0; index < queue.JobCount(); ++index) {
        names.emplace_back(queue.FileName(index));
    }
    return names;
}

using Texts = std::vector<std::string>;

class JobQueueTest : public ::testing::Test {
protected:
    JobQueueTest() { queue_.SetObserver(&log_); }
    void Add(int from, int to) {
        for (int n = from; n <= to; ++n) {
            queue_.AddJob("C:\\" + std::to_string(n) + ".avi");
        }
    }
    JobQueue queue_{PathStyle::Windows};
    FactLog log_;
};

TEST_F(JobQueueTest, FileNameFollowsThePathStyleAndOutsideTheListAllIsEmpty) {
    JobQueue posix(PathStyle::Posix);
    posix.AddJob("/home/me/My Clips/a b.avi");
    posix.AddJob(R"(C:\v\clip.mp4)");
    posix.AddJob("/media/folder/");
    EXPECT_EQ(Names(posix), (Texts{"a b.avi", R"(C:\v\clip.mp4)", ""}));
    queue_.AddJob(R"(C:\v\clip.mp4)");
    EXPECT_EQ(queue_.FileName(0), "clip.mp4");
    EXPECT_EQ(queue_.JobPath(1), "");
    EXPECT_EQ(queue_.JobPath(-1), "");
    EXPECT_EQ(queue_.View(3).id, 0u);
    EXPECT_EQ(queue_.Status(5), JobStatus{});
}

TEST_F(JobQueueTest, StatusChangesAreFactsOfTheirJob) {
    Add(1, 2);
    queue_.SetStatus(queue_.Id(1), JobStatus{JobState::Converting, 2, {}});
    queue_.SetStatus(999, JobStatus{JobState::Converting, 9, {}});  // no such job: nothing
    EXPECT_EQ(queue_.Status(1), (JobStatus{JobState::Converting, 2, {}}));
    EXPECT_EQ(queue_.Status(0).state, JobState::Waiting);
    ASSERT_EQ(log_.events.back(), "status 1 1");
    queue_.Remove(queue_.Id(0));
    EXPECT_EQ(queue_.Status(0), (JobStatus{JobState::Converting, 2, {}}));  // moved up with it
}

TEST_F(JobQueueTest, ABatchIsOneAdditionAndPendingAppendsComeBeforeAnyOtherChange) {
    queue_.BeginAppend();
    Add(1, 1);
    queue_.BeginAppend();  // nested
    Add(2, 2);
    queue_.EndAppend();
    EXPECT_TRUE(log_.events.empty());
    EXPECT_EQ(queue_.JobCount(), 2);  // in the list at once
    queue_.EndAppend();
    queue_.EndAppend();  // unbalanced: ignored
    EXPECT_EQ(log_.events, (Texts{"added 0 2"}));

    log_.events.clear();
    queue_.BeginAppend();
    Add(3, 4);
    queue_.Remove(queue_.Id(0));
    Add(5, 5);
    queue_.EndAppend();
    EXPECT_EQ(log_.events, (Texts{"added 2 2", "removed 0 1", "added 3 1"}));
    EXPECT_EQ(log_.jobs, queue_.JobCount());
}

// Removing and moving many jobs: each run of neighbouring jobs is one removal, from the bottom
// up, so that replaying the facts on a count ends at the list's own count.
TEST_F(JobQueueTest, ManyJobsAreRemovedInRunsFromTheBottomUpAndMovedAsOne) {
    Add(1, 8);
    log_.events.clear();
    queue_.MoveUp(std::vector<JobId>{queue_.Id(7), queue_.Id(4), queue_.Id(5)}, 1);
    EXPECT_EQ(log_.events, (Texts{"moved 1 7"}));
    EXPECT_EQ(Names(queue_),
              (Texts{"1.avi", "5.avi", "6.avi", "8.avi", "2.avi", "3.avi", "4.avi", "7.avi"}));
    log_.events.clear();
    queue_.MoveUp(std::vector<JobId>{queue_.Id(1), queue_.Id(2)}, 1);  // already there
    EXPECT_TRUE(log_.events.empty());

    const std::vector<JobId> gone = {queue_.Id(1), queue_.Id(2), queue_.Id(5), 0, 999};
    EXPECT_EQ(queue_.Remove(std::span<const JobId>(gone)), 3);
    EXPECT_EQ(log_.events, (Texts{"removed 5 1", "removed 1 2"}));
    EXPECT_EQ(Names(queue_), (Texts{"1.avi", "8.avi", "2.avi", "4.avi", "7.avi"}));
    EXPECT_EQ(log_.jobs, queue_.JobCount());
}

TEST_F(JobQueueTest, AJobKeepsTheCommandItWasQueuedWith) {
    const ChosenCommand watch{"/s/music.ini", 2};
    queue_.AddJob("C:\\a.wav", {}, watch);
    queue_.AddJob("C:\\b.wav");
    queue_.AddJob("C:\\c.wav", "sub", watch);
    ASSERT_NE(queue_.Command(0), nullptr);
    EXPECT_EQ(*queue_.Command(0), watch);
    EXPECT_EQ(queue_.Command(1), nullptr);            // the one chosen when its turn comes
    EXPECT_EQ(queue_.Command(2), queue_.Command(0));  // kept once
    EXPECT_EQ(queue_.Subfolder(2), "sub");
    queue_.Remove(queue_.Id(0));
    EXPECT_EQ(*queue_.Command(1), watch);
}

}  // namespace
}  // namespace palomix
