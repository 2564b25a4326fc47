// The job list: the queue of files waiting for conversion, in the order they were added. Every
// job has an id that stays with it while it is in the list, a status (waiting, converting with
// the seconds its run timer has counted, or not started), the subfolder it lay in below a
// dropped folder, and, for a job that came with them (a watched folder's), its own command and
// output folder.
//
// Every change is told to the observer as a fact in job indices (EngineObserver: jobs added,
// removed, moved, a status changed), after it happened. How a view shows the list (a header
// row, a blank row for an empty list) is the view's business.
//
// Memory: each job stores its full path once (the file name is an offset into it), its id and
// its state; subfolders, commands and output folders are kept once each and named by number;
// the seconds and
// program name of the few jobs that are not waiting live apart.
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

#include "engine/EngineTypes.h"

namespace palomix {

class EngineObserver;

class JobQueue {
public:
    explicit JobQueue(PathStyle style = NativePathStyle());
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Not owned; nullptr for none.
    void SetObserver(EngineObserver* observer) { observer_ = observer; }

    // Appends a job at the end of the list; its id (0 when the list takes no more).
    // `subfolder`: for a file found inside a dropped folder, the folder it lies in relative to
    // the dropped one ("" for the dropped folder itself and for a dropped file), so that its
    // outputs can keep the tree. `command`: the job's own command; nullopt for the one chosen
    // when its turn comes. `outputFolder`: the job's own output folder; "" for the one chosen
    // when its turn comes.
    JobId AddJob(std::string path, std::string_view subfolder = {},
                 const std::optional<ChosenCommand>& command = std::nullopt,
                 std::string_view outputFolder = {});

    // While an append batch is open (BeginAppend/EndAppend pairs nest), appended jobs are
    // in the list at once but told as one addition when the outermost batch ends (or before
    // any other change is told).
    void BeginAppend();
    void EndAppend();

    // Removes the job with this id wherever it stands. False when there is none.
    bool Remove(JobId id);
    // Removes every job with one of these ids, in one pass over the list: each run of
    // neighbouring jobs is told as one removal, from the bottom up. The number removed.
    std::int32_t Remove(std::span<const JobId> ids);

    // Moves the jobs with these ids, in their list order, to just below the first `keep` jobs
    // (the jobs converting stay on top). Told as one move of the jobs whose places changed.
    void MoveUp(std::span<const JobId> ids, std::int32_t keep);

    std::int32_t JobCount() const { return static_cast<std::int32_t>(jobs_.size()); }
    bool Empty() const { return jobs_.empty(); }

    // Of job `index` (0 = head); empty texts, id 0 and no command outside the list.
    const std::string& JobPath(std::int32_t index) const;
    std::string_view FileName(std::int32_t index) const;
    const std::string& Subfolder(std::int32_t index) const;
    const ChosenCommand* Command(std::int32_t index) const;
    const std::string& OutputFolder(std::int32_t index) const;
    JobId Id(std::int32_t index) const;
    JobView View(std::int32_t index) const;
    // The index of the job with this id; nullopt when it is not in the list.
    std::optional<std::int32_t> IndexOf(JobId id) const;

    JobStatus Status(std::int32_t index) const;
    // Sets the status of the job with this id (nothing happens for an unknown id).
    void SetStatus(JobId id, JobStatus status);

    PathStyle Style() const { return style_; }

private:
    struct Job {
        std::string path;
        JobId id = 0;
        std::uint32_t nameOffset = 0;  // where the file name starts in path
        std::uint32_t subfolder = 0;   // into subfolders_; 0 is ""
        std::uint32_t command = 0;     // into commands_, from 1; 0 is none
        std::uint32_t output = 0;      // into outputs_, from 1; 0 is none
        JobState state = JobState::Waiting;
    };
    struct Detail {
        std::int32_t seconds = 0;
        std::string program;
    };

    std::uint32_t SubfolderNumber(std::string_view subfolder);
    std::uint32_t CommandNumber(const std::optional<ChosenCommand>& command);
    std::uint32_t OutputNumber(std::string_view folder);
    void FlushAppends();
    // Takes the jobs whose ids are in `ids` out of the list from `first` on, keeping the order
    // of both; the taken jobs, and the runs of neighbouring jobs they stood in (index, count),
    // from the top down.
    std::vector<Job> TakeOut(const std::unordered_set<JobId>& ids, std::size_t first,
                             std::vector<std::pair<std::int32_t, std::int32_t>>& runs);

    PathStyle style_;
    EngineObserver* observer_ = nullptr;
    std::deque<Job> jobs_;
    std::unordered_map<JobId, Detail> details_;  // of the jobs that are not waiting
    // The subfolders jobs lie in, each once (a folder's files come one after the other, so the
    // last one is looked at first).
    std::vector<std::string> subfolders_{std::string()};
    std::unordered_map<std::string, std::uint32_t> subfolderIndex_;
    std::vector<ChosenCommand> commands_;  // the jobs' own commands, each once
    std::vector<std::string> outputs_;     // the jobs' own output folders, each once
    JobId lastId_ = 0;
    int appendDepth_ = 0;
    std::int32_t pendingFrom_ = -1;  // index of the first job not yet told
};

}  // namespace palomix
