#include "engine/JobQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace palomix {
namespace {

// A cell of a job row as the grid shows it (row 1 is the head); empty outside the list.
std::string Cell(const JobQueue& queue, int column, int row) {
    if (row < 1 || row > queue.JobCount() || column < 0 || column >= kJobGridColumns) {
        return {};
    }
    const std::int32_t index = row - 1;
    switch (column) {
        case kStatusColumn:
            return testing::StatusText(queue.Status(index));
        case kFileNameColumn:
            return std::string(queue.FileName(index));
        default:
            return queue.JobPath(index);
    }
}

// The job rows of the grid (row 1 on) as three texts each.
std::vector<std::vector<std::string>> Grid(const JobQueue& queue) {
    std::vector<std::vector<std::string>> rows;
    for (int row = 1; row < queue.RowCount(); ++row) {
        rows.push_back({Cell(queue, 0, row), Cell(queue, 1, row), Cell(queue, 2, row)});
    }
    return rows;
}

// Shows the seconds in the head's status, as the run timer does.
void SetHeadSeconds(JobQueue& queue, std::int32_t seconds) {
    queue.SetStatus(queue.Id(0), JobStatus{JobState::Converting, seconds, {}});
}

using Rows = std::vector<std::vector<std::string>>;

// Notes every notification as text.
class RecordingObserver : public JobQueueObserver {
public:
    void RowsInserted(int firstRow, int count) override {
        events.push_back("inserted " + std::to_string(firstRow) + " " + std::to_string(count));
    }
    void RowsRemoved(int firstRow, int count) override {
        events.push_back("removed " + std::to_string(firstRow) + " " + std::to_string(count));
    }
    void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) override {
        events.push_back("changed " + std::to_string(firstRow) + "-" + std::to_string(lastRow) +
                         " " + std::to_string(firstColumn) + "-" + std::to_string(lastColumn));
    }
    std::vector<std::string> events;
};

class JobQueueTest : public ::testing::Test {
protected:
    JobQueueTest() { queue_.AddObserver(&observer_); }
    JobQueue queue_{PathStyle::Windows};
    RecordingObserver observer_;
};

TEST_F(JobQueueTest, EmptyListHasTwoRowsWithRowOneBlank) {
    EXPECT_EQ(queue_.JobCount(), 0);
    EXPECT_EQ(Grid(queue_), (Rows{{"", "", ""}}));
    EXPECT_EQ(queue_.HeadPath(), "");
}

TEST_F(JobQueueTest, FirstJobTakesRowOneAndTheSecondAddsARow) {
    queue_.AddJob(R"(C:\v\clip.mp4)");
    EXPECT_EQ(queue_.JobCount(), 1);
    EXPECT_EQ(queue_.RowCount(), 2);
    EXPECT_EQ(Grid(queue_)[0],
              (std::vector<std::string>{"Wait...", "clip.mp4", R"(C:\v\clip.mp4)"}));

    queue_.AddJob(R"(D:song.mp3)");
    EXPECT_EQ(queue_.JobCount(), 2);
    EXPECT_EQ(queue_.RowCount(), 3);
    EXPECT_EQ(Grid(queue_)[1], (std::vector<std::string>{"Wait...", "song.mp3", "D:song.mp3"}));
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"changed 1-1 0-2", "inserted 2 1"}));
}

TEST_F(JobQueueTest, FileNameFollowsThePathStyle) {
    JobQueue posix(PathStyle::Posix);
    posix.AddJob("/home/me/My Clips/a b.avi");
    posix.AddJob(R"(C:\v\clip.mp4)");
    posix.AddJob("/media/folder/");
    EXPECT_EQ(Cell(posix, 1, 1), "a b.avi");
    EXPECT_EQ(Cell(posix, 1, 2), R"(C:\v\clip.mp4)");
    EXPECT_EQ(Cell(posix, 1, 3), "");
}

TEST_F(JobQueueTest, RemovingTheHeadMovesTheOtherRowsUp) {
    queue_.AddJob(R"(C:\v\1.avi)");
    queue_.AddJob(R"(C:\v\2.avi)");
    queue_.AddJob(R"(C:\v\3.avi)");
    SetHeadSeconds(queue_, 5);
    observer_.events.clear();

    EXPECT_TRUE(queue_.RemoveHeadJob());
    EXPECT_EQ(queue_.JobCount(), 2);
    EXPECT_EQ(Grid(queue_),
              (Rows{{"Wait...", "2.avi", R"(C:\v\2.avi)"}, {"Wait...", "3.avi", R"(C:\v\3.avi)"}}));
    EXPECT_EQ(queue_.HeadPath(), R"(C:\v\2.avi)");
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"removed 1 1"}));
}

TEST_F(JobQueueTest, RemovingTheLastJobLeavesRowOneBlank) {
    queue_.AddJob(R"(C:\v\1.avi)");
    SetHeadSeconds(queue_, 60);
    observer_.events.clear();
    EXPECT_FALSE(queue_.RemoveHeadJob());
    EXPECT_EQ(Grid(queue_), (Rows{{"", "", ""}}));
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"changed 1-1 0-2"}));

    EXPECT_FALSE(queue_.RemoveHeadJob());  // nothing to remove: no change, no notice
    EXPECT_EQ(queue_.JobCount(), 0);
    EXPECT_EQ(observer_.events.size(), 1U);
}

TEST_F(JobQueueTest, NothingStaleAfterRemovalsAndNewJobs) {
    for (const char* path : {R"(C:\1.avi)", R"(C:\2.avi)", R"(C:\3.avi)"}) {
        queue_.AddJob(path);
    }
    SetHeadSeconds(queue_, 1);
    while (queue_.RemoveHeadJob()) {
    }
    queue_.AddJob(R"(C:\new.avi)");
    EXPECT_EQ(Grid(queue_), (Rows{{"Wait...", "new.avi", R"(C:\new.avi)"}}));
    EXPECT_EQ(Cell(queue_, 0, 2), "");
    EXPECT_EQ(Cell(queue_, 2, 3), "");
}

TEST_F(JobQueueTest, OnlyTheHeadShowsARunStatus) {
    SetHeadSeconds(queue_, 9);  // no job: ignored
    queue_.AddJob(R"(C:\1.avi)");
    queue_.AddJob(R"(C:\2.avi)");
    EXPECT_EQ(Cell(queue_, 0, 1), "Wait...");
    observer_.events.clear();
    SetHeadSeconds(queue_, 2);
    EXPECT_EQ(Cell(queue_, 0, 1), "Converting...(00:00:02)");
    EXPECT_EQ(Cell(queue_, 0, 2), "Wait...");
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"changed 1-1 0-0"}));

    queue_.RemoveHeadJob();
    EXPECT_EQ(Cell(queue_, 0, 1), "Wait...");  // the new head has not started yet
}

TEST_F(JobQueueTest, CellsOutsideTheGridAreEmpty) {
    queue_.AddJob(R"(C:\1.avi)");
    EXPECT_EQ(Cell(queue_, 3, 1), "");
    EXPECT_EQ(Cell(queue_, -1, 1), "");
    EXPECT_EQ(Cell(queue_, 0, -1), "");
    EXPECT_EQ(queue_.JobPath(1), "");
    EXPECT_EQ(queue_.JobPath(-1), "");
    EXPECT_EQ(queue_.JobPath(0), R"(C:\1.avi)");
}

TEST_F(JobQueueTest, ABatchIsReportedAsOneInsertion) {
    queue_.BeginAppend();
    queue_.AddJob(R"(C:\1.avi)");
    queue_.BeginAppend();  // nested
    queue_.AddJob(R"(C:\2.avi)");
    queue_.EndAppend();
    queue_.AddJob(R"(C:\3.avi)");
    EXPECT_TRUE(observer_.events.empty());
    EXPECT_EQ(queue_.JobCount(), 3);  // in the list at once
    queue_.EndAppend();
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"changed 1-1 0-2", "inserted 2 2"}));

    observer_.events.clear();
    const std::vector<std::string> more = {R"(C:\4.avi)", R"(C:\5.avi)"};
    queue_.AddJobs(more);
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"inserted 4 2"}));
    EXPECT_EQ(Cell(queue_, 2, 5), R"(C:\5.avi)");
}

TEST_F(JobQueueTest, PendingAppendsAreReportedBeforeAnyOtherChange) {
    queue_.AddJob(R"(C:\1.avi)");
    observer_.events.clear();
    queue_.BeginAppend();
    queue_.AddJob(R"(C:\2.avi)");
    queue_.AddJob(R"(C:\3.avi)");
    queue_.RemoveHeadJob();
    queue_.AddJob(R"(C:\4.avi)");
    queue_.EndAppend();
    EXPECT_EQ(observer_.events,
              (std::vector<std::string>{"inserted 2 2", "removed 1 1", "inserted 3 1"}));
    EXPECT_EQ(queue_.RowCount(), 4);
}

TEST_F(JobQueueTest, EmptyBatchAndRemovedObserverReportNothing) {
    queue_.BeginAppend();
    queue_.EndAppend();
    queue_.EndAppend();  // unbalanced: ignored
    EXPECT_TRUE(observer_.events.empty());
    queue_.RemoveObserver(&observer_);
    queue_.AddJob(R"(C:\1.avi)");
    EXPECT_TRUE(observer_.events.empty());
}

// Removing and moving many rows: each run of neighbouring rows is one report, from the bottom
// up, so that replaying the reports on a count of rows ends at the list's own count.
TEST_F(JobQueueTest, ManyRowsAreRemovedAndMovedInRunsReportedFromTheBottomUp) {
    for (int n = 1; n <= 8; ++n) {
        queue_.AddJob("C:\\" + std::to_string(n) + ".avi");
    }
    observer_.events.clear();
    const std::vector<JobId> moved = {queue_.Id(7), queue_.Id(4), queue_.Id(5)};
    queue_.MoveUp(moved, 1);
    EXPECT_EQ(observer_.events,
              (std::vector<std::string>{"removed 8 1", "removed 5 2", "inserted 2 3"}));
    std::vector<std::string> names;
    for (std::int32_t index = 0; index < queue_.JobCount(); ++index) {
        names.emplace_back(queue_.FileName(index));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"1.avi", "5.avi", "6.avi", "8.avi", "2.avi", "3.avi",
                                               "4.avi", "7.avi"}));
    observer_.events.clear();
    queue_.MoveUp(std::vector<JobId>{queue_.Id(1), queue_.Id(2)}, 1);  // already there
    EXPECT_TRUE(observer_.events.empty());

    const std::vector<JobId> gone = {queue_.Id(1), queue_.Id(2), queue_.Id(5), 0, 999};
    EXPECT_EQ(queue_.Remove(std::span<const JobId>(gone)), 3);
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"removed 6 1", "removed 2 2"}));
    EXPECT_EQ(queue_.JobCount(), 5);
    EXPECT_EQ(Cell(queue_, 1, 2), "8.avi");

    observer_.events.clear();
    std::vector<JobId> all;
    for (std::int32_t index = 0; index < queue_.JobCount(); ++index) {
        all.push_back(queue_.Id(index));
    }
    EXPECT_EQ(queue_.Remove(std::span<const JobId>(all)), 5);
    // Row 1 stays, blank.
    EXPECT_EQ(observer_.events, (std::vector<std::string>{"removed 2 4", "changed 1-1 0-2"}));
    EXPECT_EQ(Grid(queue_), (Rows{{"", "", ""}}));
}

}  // namespace
}  // namespace palomix
