// The intake of paths: every path given, in the order given, becomes jobs of the job list. A
// file becomes one job; a folder is searched with all its subfolders and every file found
// below it (hidden ones included) becomes a job, at the folder's place in the drop. A folder
// is never a job itself: its files are. Whatever cannot become a job is listed as skipped, with
// the reason: a path that cannot be looked up (missing, or a whole drive), a folder below that
// cannot be read, a file whose path is longer than a converter can open.
//
// Every path comes in by one rule, whichever way it came (a drop, the window's command line, a
// later start's hand-over, the kept queue, palomix-batch): IncomingPath. The intake does not
// start the batch run.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "controllogic/SearchFile.h"
#include "engine/JobQueue.h"

namespace palomix {

// A path as it comes in: absolute (a relative one is taken from the current folder), "." and
// ".." parts resolved by their text (links are not followed), and no separator at the end
// but a root's own. The bytes of the names stay as they are.
std::string IncomingPath(std::string_view path);

class DropIntake {
public:
    explicit DropIntake(JobQueue& queue);
    // An intake that only walks (Walk): it has no list to take a drop into.
    DropIntake();
    DropIntake(const DropIntake&) = delete;
    DropIntake& operator=(const DropIntake&) = delete;

    // Takes the paths in order, each by IncomingPath. The whole drop reaches the job list's
    // observer as one addition.
    IntakeResult TakeDrop(std::span<const std::string> paths);

    // A file found: its path and the subfolder it lay in below a dropped folder; false ends
    // the walk there.
    using Found = std::function<bool(const std::string& path, std::string_view subfolder)>;
    // Walks the paths as a drop does, handing each file to `found` instead of the job list
    // (a plan of the paths, which needs the memory of no list; a walk on another thread).
    // `jobsAdded` counts them.
    IntakeResult Walk(std::span<const std::string> paths, const Found& found);

    // OnFind of SearchFile0: a file becomes a job. Continue stays true, so a folder search
    // always runs to its end.
    void SearchFile0Find(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                         bool& Continue);

private:
    JobQueue* queue_ = nullptr;
    Found found_;           // where the files of the walk go
    bool stopped_ = false;  // `found` asked to end the walk
    TSearchFile SearchFile0;
    IntakeResult* current_ = nullptr;  // the drop being taken
    std::string droppedFolder_;        // the folder being searched
};

}  // namespace palomix
