// A watch's record: what became of each file it took (converted, failed, stopped, skipped,
// taken out of the list by the user, or an output of this program), with the size and
// modification time the file had, so that a restart converts nothing twice and a file replaced
// by a new one of the same name is converted again. Failed and stopped files keep why, to be
// listed until the user tries them again.
//
// It lives in a file of its own in the user's state folder, named after what the watch converts
// (folder, command, output folder, subfolders), so that two watches of one folder converting
// with different commands each convert every file. The file is UTF-8 text, one line a result,
// appended as results come (nothing is lost when the program is killed), and written anew whole
// and atomically when it has grown to twice what it holds:
//
//   Palomix watch record 1
//   folder=<the watched folder>
//   <result><TAB><size><TAB><modification time, ns><TAB><gone day><TAB><path below the folder>
//       [<TAB>why, for failed and stopped files: the fields of the job's result]
//   forget<TAB>0<TAB>0<TAB>0<TAB><path>        a result no longer stands (tried again)
//
// Names are written as the kept queue writes them (settings/QueueFile.h: control bytes, the
// backslash and bytes that are not UTF-8 as "\xHH"). A line that cannot be read is passed over;
// a file that is not such a record is set aside as "<file>.damaged" and the record starts
// empty; a record that cannot be read or written is told (Error), and the watch goes on.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/EngineTypes.h"
#include "engine/watch/KnownFiles.h"

namespace palomix {

// The record file of a watch in `folder` (the user's state folder's "watches").
std::string WatchRecordPath(const std::string& folder, const WatchSettings& settings);

class WatchRecord {
public:
    // Reads the record kept at `path`; a missing file holds nothing yet. An empty path keeps
    // nothing (the user's state folder is not known).
    WatchRecord(std::string path, const std::string& watchedFolder);
    // Writes it anew when it has changed in ways appending does not keep.
    ~WatchRecord();
    WatchRecord(const WatchRecord&) = delete;
    WatchRecord& operator=(const WatchRecord&) = delete;

    const std::string& Path() const { return path_; }
    // Why the record could not be read or written the last time; none when it could.
    const std::error_code& Error() const { return error_; }

    const KnownFiles& Files() const { return files_; }
    KnownFiles& Files() { return files_; }
    // Why the failed and stopped files did not convert, by their path below the folder.
    const std::map<std::string, JobResult, std::less<>>& Failures() const { return failures_; }
    std::int64_t DoneCount() const { return done_; }

    // A result of a file, kept at once. `why`: how a failed or stopped file ended.
    void Note(std::string_view name, const KnownFiles::Entry& entry, const JobResult* why);
    // The file's result no longer stands.
    void Forget(std::string_view name);
    // The gone days of the entries changed (a full look): kept when the file is next written
    // whole (at the latest when the record goes).
    void GoneDaysChanged() { goneChanged_ = true; }
    // Writes the file anew, whole, from what is held.
    void Rewrite();

private:
    void Read(const std::string& watchedFolder);
    void ReadLine(std::string_view line);
    void Append(const std::string& line);
    void CountDone(std::string_view name, const std::optional<KnownFiles::Entry>& before,
                   const KnownFiles::Entry* after);

    std::string path_;
    std::string header_;
    std::error_code error_;
    KnownFiles files_;
    std::map<std::string, JobResult, std::less<>> failures_;
    std::int64_t done_ = 0;
    std::size_t lines_ = 0;  // result lines in the file
    bool goneChanged_ = false;
    std::unique_ptr<std::ofstream> out_;
};

// The day a time falls on, counted from 1970-01-01 (as KnownFiles::Entry::goneDay counts).
std::uint16_t DayOf(std::int64_t nanosecondsSince1970);
std::uint16_t Today();

// How a failed or stopped job ended, as one line's fields, and back (nullopt: not such fields).
std::string EncodeWatchFailure(const JobResult& result);
std::optional<JobResult> DecodeWatchFailure(std::string_view fields);

}  // namespace palomix
