// The intake of a drop: every dropped path, in the order given, becomes jobs of the job
// list. A file becomes one job; a folder is searched with all its subfolders and every file
// found below it (hidden ones included) becomes a job, at the folder's place in the drop. A
// folder is never a job itself: its files are. Whatever cannot become a job is listed as
// skipped, with the reason: a path that cannot be looked up (missing, or ending in a
// separator such as a whole drive), a folder below that cannot be read, a file whose path is
// longer than a converter can open.
//
// The intake does not start the batch run; the caller does that after every drop. Paths
// are taken as given (the caller makes them absolute).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "controllogic/SearchFile.h"
#include "engine/JobQueue.h"

namespace palomix {

// Why a path added no job.
enum class SkipReason {
    NotFound,    // it cannot be looked up: missing, or ending in a separator (a whole drive)
    Unreadable,  // a folder that cannot be read (error says why)
    TooLong,     // a path longer than a converter can open
};

struct SkippedPath {
    std::string path;
    SkipReason reason = SkipReason::NotFound;
    int error = 0;  // Unreadable: the system's error code

    friend bool operator==(const SkippedPath&, const SkippedPath&) = default;
};

struct IntakeResult {
    std::int32_t jobsAdded = 0;
    std::vector<SkippedPath> skipped;  // in the order given
};

class DropIntake {
public:
    explicit DropIntake(JobQueue& queue);
    DropIntake(const DropIntake&) = delete;
    DropIntake& operator=(const DropIntake&) = delete;

    // Takes the dropped paths in order. The whole drop reaches the job list's observers as
    // one insertion.
    IntakeResult TakeDrop(std::span<const std::string> paths);

    // OnFind of SearchFile0: a file becomes a job. Continue stays true, so a folder search
    // always runs to its end.
    void SearchFile0Find(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                         bool& Continue);

private:
    JobQueue& queue_;
    TSearchFile SearchFile0;
    IntakeResult* current_ = nullptr;  // the drop being taken
    std::string droppedFolder_;        // the folder being searched
};

}  // namespace palomix
