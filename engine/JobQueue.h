// The job list: the queue of files waiting for conversion, and the grid view of it that
// the window shows (header row 0, then one row per job with status, file name and full
// path).
//
// Grid invariants:
// - with no job the grid has 2 rows and the three cells of row 1 are empty;
// - with n >= 1 jobs it has n + 1 rows, row k holding the k-th job in the order added;
// - the status of every job but the head (row 1) is "Wait..."; the head shows "Wait..."
//   until the batch run's timer writes its status, and a new head starts at "Wait..." again;
// - a removed head's rows move up and nothing stale stays behind.
//
// Memory: each job stores its full path once (the file name is an offset into it) and no
// status text; only the head's status is a string. Removing the head is O(1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PathRules.h"

namespace palomix {

inline constexpr std::string_view kWaitStatus = "Wait...";

// Columns of the grid.
inline constexpr int kStatusColumn = 0;
inline constexpr int kFileNameColumn = 1;
inline constexpr int kFullPathColumn = 2;
inline constexpr int kJobGridColumns = 3;

// Told about every change of the grid, after it happened, in grid terms, so that a view
// model can report exactly the rows inserted, removed or changed. Every method has an empty
// default.
class JobQueueObserver {
public:
    virtual ~JobQueueObserver() = default;
    // `count` rows were inserted at `firstRow` (the grid grew by `count`).
    virtual void RowsInserted(int /*firstRow*/, int /*count*/) {}
    // `count` rows were removed at `firstRow`; the rows below moved up.
    virtual void RowsRemoved(int /*firstRow*/, int /*count*/) {}
    // The cells of rows firstRow..lastRow, columns firstColumn..lastColumn changed text.
    virtual void CellsChanged(int /*firstRow*/, int /*lastRow*/, int /*firstColumn*/,
                              int /*lastColumn*/) {}
};

class JobQueue {
public:
    explicit JobQueue(PathStyle style = NativePathStyle());
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Observers are not owned; remove one before it dies.
    void AddObserver(JobQueueObserver* observer);
    void RemoveObserver(JobQueueObserver* observer);

    // Appends a job at the end of the list.
    void AddJob(std::string path);
    // Appends jobs in order, reported to observers as one insertion.
    void AddJobs(std::span<const std::string> paths);

    // While an append batch is open (BeginAppend/EndAppend pairs nest), appended jobs are
    // in the list at once but reported to observers as one insertion when the outermost
    // batch ends (or before any other change is reported).
    void BeginAppend();
    void EndAppend();

    // Removes the head job (row 1). True when jobs remain. Does nothing with no job.
    bool RemoveHeadJob();

    std::int32_t JobCount() const { return static_cast<std::int32_t>(jobs_.size()); }
    bool Empty() const { return JobCount() == 0; }

    // Full path of the head job; empty when there is none.
    const std::string& HeadPath() const;
    // Full path of job `index` (0 = head).
    const std::string& JobPath(std::int32_t index) const;

    // Status text of the head job (column 0 of row 1), written by the run's timer. Ignored
    // with no job.
    void SetHeadStatus(std::string text);

    // The column captions (row 0).
    void SetHeader(std::string status, std::string fileName, std::string fullPath);

    // The grid: RowCount() rows of kJobGridColumns columns. Cells outside it are empty.
    std::int32_t RowCount() const { return Empty() ? 2 : JobCount() + 1; }
    std::string Cell(int column, int row) const;

    PathStyle Style() const { return style_; }

private:
    struct Job {
        std::string path;
        std::uint32_t nameOffset = 0;  // where the file name starts in path
    };

    void Append(std::string path);
    void FlushAppends();
    template <typename F>
    void Notify(F&& f);

    PathStyle style_;
    std::deque<Job> jobs_;
    std::string headStatus_;
    bool headStatusSet_ = false;
    std::string header_[kJobGridColumns];
    std::vector<JobQueueObserver*> observers_;
    int appendDepth_ = 0;
    std::int32_t pendingFrom_ = -1;  // job index of the first job not yet reported
};

}  // namespace palomix
