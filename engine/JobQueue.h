// The job list: the queue of files waiting for conversion, in the order they were added, as
// the window's grid shows it (a header row 0, then one row per job). Every job has an id that
// stays with it while it is in the list, and a status: waiting, converting (with the seconds
// its run timer has counted), or not started (its program could not be started).
//
// Grid invariants, which the observers are told in grid terms:
// - with no job the grid has 2 rows and row 1 is blank;
// - with n >= 1 jobs it has n + 1 rows, row k holding the k-th job in the order added;
// - a removed row's successors move up and nothing stale stays behind.
//
// Memory: each job stores its full path once (the file name is an offset into it), its id and
// its state; the seconds and program name of the few jobs that are not waiting live apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/PathRules.h"

namespace palomix {

// Columns of the grid.
inline constexpr int kStatusColumn = 0;
inline constexpr int kFileNameColumn = 1;
inline constexpr int kFullPathColumn = 2;
inline constexpr int kJobGridColumns = 3;

using JobId = std::uint64_t;

enum class JobState : std::uint8_t {
    Waiting,     // "Wait..."
    Converting,  // its run timer shows the seconds counted
    NotStarted,  // a command line of it could not be started; it stays in the list
};

struct JobStatus {
    JobState state = JobState::Waiting;
    std::int32_t seconds = 0;  // Converting, NotStarted: the seconds last shown
    std::string program;       // NotStarted: the name of the program that could not start

    friend bool operator==(const JobStatus&, const JobStatus&) = default;
};

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
    // The cells of rows firstRow..lastRow, columns firstColumn..lastColumn changed.
    virtual void CellsChanged(int /*firstRow*/, int /*lastRow*/, int /*firstColumn*/,
                              int /*lastColumn*/) {}
};

class JobQueue {
public:
    explicit JobQueue(PathStyle style = NativePathStyle());
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Observers are not owned; remove one before it dies. Watching changes nothing, so a
    // const list can be watched.
    void AddObserver(JobQueueObserver* observer) const;
    void RemoveObserver(JobQueueObserver* observer) const;

    // Appends a job at the end of the list; its id. `subfolder`: for a file found inside a
    // dropped folder, the folder it lies in relative to the dropped one ("" for the dropped
    // folder itself and for a dropped file), so that its outputs can keep the tree.
    JobId AddJob(std::string path, std::string_view subfolder = {});
    // Appends jobs in order, reported to observers as one insertion.
    void AddJobs(std::span<const std::string> paths);

    // While an append batch is open (BeginAppend/EndAppend pairs nest), appended jobs are
    // in the list at once but reported to observers as one insertion when the outermost
    // batch ends (or before any other change is reported).
    void BeginAppend();
    void EndAppend();

    // Removes the head job (row 1). True when jobs remain. Does nothing with no job.
    bool RemoveHeadJob();
    // Removes the job with this id wherever it stands. False when there is none.
    bool Remove(JobId id);
    // Removes every job with one of these ids, in one pass over the list: each run of
    // neighbouring rows is reported as one removal, from the bottom up. The number removed.
    std::int32_t Remove(std::span<const JobId> ids);

    // Moves the jobs with these ids, in their list order, to just below the first `keep` rows
    // (the jobs converting stay on top). Reported as removals (one for each run of neighbouring
    // rows, from the bottom up), then one insertion.
    void MoveUp(std::span<const JobId> ids, std::int32_t keep);

    std::int32_t JobCount() const { return static_cast<std::int32_t>(jobs_.size()); }
    bool Empty() const { return jobs_.empty(); }

    // Full path of the head job; empty when there is none.
    const std::string& HeadPath() const;
    // Of job `index` (0 = head); empty texts and id 0 outside the list.
    const std::string& JobPath(std::int32_t index) const;
    std::string_view FileName(std::int32_t index) const;
    // The job's subfolder inside the folder it was dropped with (see AddJob).
    const std::string& Subfolder(std::int32_t index) const;
    JobId Id(std::int32_t index) const;
    // The index of the job with this id; nullopt when it is not in the list.
    std::optional<std::int32_t> IndexOf(JobId id) const;

    JobStatus Status(std::int32_t index) const;
    // Sets the status of the job with this id (nothing happens for an unknown id).
    void SetStatus(JobId id, JobStatus status);

    // Grid rows: the header row, then one per job (or the blank row 1).
    std::int32_t RowCount() const { return Empty() ? 2 : JobCount() + 1; }

    PathStyle Style() const { return style_; }

private:
    struct Job {
        std::string path;
        JobId id = 0;
        std::uint32_t nameOffset = 0;  // where the file name starts in path
        std::uint32_t subfolder = 0;   // into subfolders_; 0 is ""
        JobState state = JobState::Waiting;
    };
    struct Detail {
        std::int32_t seconds = 0;
        std::string program;
    };

    void Append(std::string path, std::string_view subfolder = {});
    void FlushAppends();
    void RemoveAt(std::size_t index);
    // Takes the jobs whose ids are in `ids` out of rows from `first` on, keeping the order of
    // both; the taken jobs, and the runs of neighbouring rows they stood in (job index, count),
    // from the top down.
    std::vector<Job> TakeOut(const std::unordered_set<JobId>& ids, std::size_t first,
                             std::vector<std::pair<std::int32_t, std::int32_t>>& runs);
    template <typename F>
    void Notify(F&& f);

    PathStyle style_;
    std::deque<Job> jobs_;
    std::unordered_map<JobId, Detail> details_;  // of the jobs that are not waiting
    // The subfolders jobs lie in, each once (a folder's files come one after the other, so the
    // last one is looked at first).
    std::vector<std::string> subfolders_{std::string()};
    std::unordered_map<std::string, std::uint32_t> subfolderIndex_;
    JobId lastId_ = 0;
    mutable std::vector<JobQueueObserver*> observers_;
    int appendDepth_ = 0;
    std::int32_t pendingFrom_ = -1;  // job index of the first job not yet reported
};

}  // namespace palomix
