// Whole-file reads and writes. A file is written by replacing it atomically: the new bytes go
// to a temporary file in the same folder, which is flushed to the disk and then renamed over
// the old file, so a reader sees either the old or the new file, never a part of one, and a
// failure at any step leaves the old file as it was.
//
// A FileStamp is what the file system says about a file without reading it; a cache keyed by
// path compares stamps to notice that a file was changed or replaced.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace palomix {

// Raised when a file cannot be read or written. what() names the file, the step that failed
// and the system's reason.
class FileError : public std::system_error {
public:
    FileError(std::error_code code, const std::string& path, const std::string& step);
    const std::string& path() const { return path_; }
    // The step and the system's reason, without the file name: "renaming the temporary file
    // over it: Permission denied".
    const std::string& reason() const { return reason_; }

private:
    std::string path_;
    std::string reason_;
};

// Size, times and identity of a file. Two stamps of the same path differ when the file was
// written (modification time, and on POSIX the status-change time), resized, or replaced by
// another file (inode on POSIX). Times are nanoseconds since 1970-01-01 UTC, so they compare
// with std::chrono::system_clock.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;  // POSIX status change; Windows creation time
    std::uint64_t device = 0;    // POSIX only; 0 on Windows
    std::uint64_t fileId = 0;    // POSIX inode; 0 on Windows

    friend bool operator==(const FileStamp&, const FileStamp&) = default;

    // The later of the two times: the last moment the file is known to have been touched.
    std::int64_t LatestNs() const { return modifiedNs > changedNs ? modifiedNs : changedNs; }
};

// The stamp of the file at path (links followed); nullopt when there is nothing there or it
// cannot be examined. One system call, no file opened on POSIX.
std::optional<FileStamp> StampOf(const std::string& path);

// A file's bytes together with the stamp the open file had before they were read.
struct FileSnapshot {
    std::string bytes;
    FileStamp stamp;
};

// The whole file. nullopt when there is no such file (or a folder of its path is missing);
// throws FileError when it exists but cannot be read (no permission, a folder, an I/O
// error).
std::optional<FileSnapshot> ReadFileSnapshot(const std::string& path);

inline std::optional<std::string> ReadFileBytes(const std::string& path) {
    auto snapshot = ReadFileSnapshot(path);
    if (!snapshot) {
        return std::nullopt;
    }
    return std::move(snapshot->bytes);
}

// Replaces the file at path with bytes, or creates it, atomically. A replaced file keeps its
// permission bits (POSIX); a symbolic link at path is followed, so the file it names is
// replaced and the link stays. The folder must exist. Throws FileError; then the old file is
// untouched and no temporary file is left behind.
//
// The temporary file is named after the file (POSIX ".<name>.tmp-<16 hex digits>", Windows
// "<name>.tmp-<16 hex digits>") and held by its writer until it is renamed: under an flock
// on POSIX, open without delete sharing on Windows. A writer that is killed leaves it
// behind; each write first removes such stale temporary files of the same file, those that
// no writer holds (and, on POSIX, that belong to this user). A live writer's file is never
// taken.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace palomix
