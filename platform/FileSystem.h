// The file-system services the program needs: existence tests, folder creation, the look-up
// of one path (what a find with the path itself and no pattern gives), and the listing of
// folders' entries for the folder search.
//
// Entry data follows the Windows find data: the name, the short (8.3) name, the size, three
// times as local date-times through DOS date-time rules, and the attribute flags.
//
// On POSIX:
// - a folder's entries are listed in name order ignoring ASCII letter case (letters compare
//   as upper case, as NTFS orders them; ties by bytes), because the directory order of the
//   file system is arbitrary;
// - IsHidden means the name starts with '.', IsReadOnly that the owner has no write
//   permission, IsSystem and IsArchive are always false, AlternateName is the name itself;
// - the creation time is the birth time when the file system reports one (statx), otherwise
//   the status-change time;
// - a symbolic link is described by its target when the target exists (a link to a folder
//   has IsDirectory true), by the link itself when it dangles; either way the folder search
//   never walks into a link, so a link loop cannot trap it.
// On Windows, a folder that is a reparse point (junction, symbolic link) is likewise listed
// but never walked into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace palomix {

// Date-time value: days since 1899-12-30, the fraction being the time of day.
using DateTime = double;

// Everything known about one entry of a folder.
struct FileEntryInfo {
    std::string FileName;       // the entry's own name, without folder
    std::string AlternateName;  // the short (8.3) name, or FileName when there is none
    std::int64_t Size = 0;      // bytes
    bool HasCreationTime = false;
    DateTime CreationTime = 0;
    bool HasLastWriteTime = false;
    DateTime LastWriteTime = 0;
    bool HasLastAccessTime = false;
    DateTime LastAccessTime = 0;
    bool IsDirectory = false;
    bool IsReadOnly = false;
    bool IsHidden = false;
    bool IsSystem = false;
    bool IsArchive = false;
};

// A local date and time as a DateTime under the rules of a DOS date-time: only the years
// 1980 to 2107 can be expressed, and the seconds are rounded down to an even number.
// nullopt outside that range or for invalid fields.
std::optional<DateTime> DosDateTimeOf(int year, int month, int day, int hour, int minute,
                                      int second);

// True when something (file, folder, link target) exists at the path.
bool PathExists(const std::string& path);

// True when the path names a folder (following symbolic links).
bool IsFolder(const std::string& path);

// Creates the folder and every missing parent. True when the folder exists afterwards;
// never throws.
bool CreateFolderTree(const std::string& path);

// The same, saying why not: no error when the folder exists afterwards, else the reason the
// system gave for the deepest folder that could not be made ("Permission denied" rather than
// the "No such file or directory" of the folders below it).
std::error_code MakeFolderTree(const std::string& path);

// True when the two paths name one file (the same file reached through a link, another
// spelling or a hard link): compared by the file system's identity, not by text. False when
// either cannot be looked up.
bool SameFile(const std::string& a, const std::string& b);

// Puts the file `from` under the name `to` in one step, replacing a file that stands there, so
// that `to` is at all times either the old file or the new one. Both in one folder.
std::error_code RenameOver(const std::string& from, const std::string& to);

// Removes a file (not a folder). No error when there is nothing to remove.
std::error_code RemoveFile(const std::string& path);

// Makes a new empty file at the path, only when nothing is there (not even a dangling link,
// which is never followed): errc::file_exists when something is. The file is this program's
// own from then on: no one else's file can stand at that name afterwards without replacing it.
std::error_code CreateNewFile(const std::string& path);

// What names the file a path names now, on its volume (the device and inode on POSIX, the
// volume and file index on Windows), so that a file can later be told from one put in its
// place; nullopt when nothing is there.
std::optional<std::string> FileIdentityOf(const std::string& path);

// Gives `to` the modification time of `from`.
std::error_code CopyModificationTime(const std::string& from, const std::string& to);

// True when the folder or file lies on a FAT file system (FAT12/16/32, as players' cards are
// formatted), where no file may exceed 4 GiB - 1 bytes.
bool IsOnFatFileSystem(const std::string& path);

// The size of a file in bytes; nullopt when it cannot be looked up.
std::optional<std::int64_t> FileSizeOf(const std::string& path);

// True when a new file can be made in the folder now: a real probe (a file with a name of its
// own is created and removed again), since permission bits tell nothing of access control
// lists, read-only mounts or a user who is the system's administrator. False for a folder
// that is missing.
bool FolderAcceptsNewFiles(const std::string& folder);

// The full form of a path: a relative path is resolved against the current folder, and
// "." and ".." parts are resolved by their text (links are not followed). A final
// separator is kept.
std::string FullPathOf(const std::string& path);

// The data of the entry that the path itself names, as a find with the path and no pattern
// gives it. nullopt when nothing is there, and for a path that ends in a separator (a whole
// drive on Windows, "/" or "dir/" on POSIX), which a find cannot look up.
std::optional<FileEntryInfo> LookUpEntry(const std::string& path);

// The longest path, in bytes, that a converter can be given and open: a file whose path is
// longer is found by a folder search but cannot be converted.
std::size_t LongestOpenablePath();

// The entries of one or more folders, "." and ".." left out. Reading a folder costs one
// pass over the directory; the full data of an entry is only fetched when ReadInfo asks for
// it, so a caller that needs only names pays for nothing more. A listing can hold the
// entries of several folders one after the other (Append), so a tree walk can keep what it
// read for a later pass instead of reading every folder twice. Buffers are reused across
// reads.
class FolderListing {
public:
    FolderListing();
    ~FolderListing();
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    // Forgets every entry.
    void Clear();

    // Lists one folder in place of everything held. False (and an empty listing) when it
    // cannot be read.
    bool Read(const std::string& folder);

    // Lists one folder after the entries already held: its entries are those from the
    // Count() before the call to the Count() after it. False (nothing added) when it
    // cannot be read; LastError() then says why. A folder whose path is longer than the
    // system's path limit is opened part by part, so the depth of a tree is no limit.
    bool Append(const std::string& folder);

    // The system's error code of the last Read or Append that failed (errno on POSIX,
    // GetLastError() on Windows); 0 after one that succeeded.
    int LastError() const;

    std::size_t Count() const;
    std::string_view Name(std::size_t index) const;

    // True for an entry to walk into: a real folder, not a link to one.
    bool IsWalkableFolder(std::size_t index) const;

    // True for a plain file (not a folder, not a link), known from the listing itself.
    bool IsPlainFile(std::size_t index) const;

    // The full data of an entry. On POSIX it is looked up now, and an entry that vanished since
    // the listing gets only its name (and the hidden flag that follows from it); on Windows
    // the listing itself holds the data, as the folder held it then.
    void ReadInfo(std::size_t index, FileEntryInfo& info) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace palomix
