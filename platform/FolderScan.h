// One pass over a folder's entries with what a watched folder needs of each: its name, whether
// it is a file or a folder, its size and modification time. Cheaper than FolderListing: no
// order, no short names, no dates turned into local time, one system call per entry at most
// (POSIX: a stat relative to the open folder; Windows: the find data itself).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace palomix {

struct FolderEntry {
    enum class Kind {
        File,    // a file, or a link to one
        Folder,  // a real folder (not a link to one, which is Other: a walk never follows it)
        Other,   // anything else: a link to a folder, a dangling link, a device, a pipe
    };
    std::string_view name;  // the entry's own name (valid during the call)
    Kind kind = Kind::Other;
    std::int64_t size = 0;        // File: bytes
    std::int64_t modifiedNs = 0;  // File: nanoseconds since 1970-01-01 UTC
};

// Hands every entry of the folder ("." and ".." left out) to `visit`, in no particular order.
// An entry that vanishes while it is looked at is left out. The error when the folder cannot
// be opened or read to its end (its entries handed over until then stand).
std::error_code ScanFolder(const std::string& folder,
                           const std::function<void(const FolderEntry& entry)>& visit);

}  // namespace palomix
