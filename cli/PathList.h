// The paths a script hands palomix-batch on standard input (PATH "-"), one per line or, with
// --null, each ended by a NUL byte as `find -print0` writes them. Only a NUL byte cannot be
// part of a path, so the NUL-ended list carries any name, newlines included.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace palomix {

// How the paths of a list are ended.
enum class PathListSeparator { Newline, Null };

// The paths read, or why the list could not be read to its end. A list that cannot be read
// (standard input closed, a folder, a read error) is not an empty list: what was read of it
// is not to be converted.
struct ListedPaths {
    std::vector<std::string> paths;
    std::string error;  // empty when the list was read to its end; else the system's reason

    bool Ok() const { return error.empty(); }
};

// The paths of the list on `in`, up to its end, byte for byte: no blanks are trimmed and no
// text encoding is checked (a name that is not UTF-8 stays as it is). Empty entries (blank
// lines, a doubled NUL) name nothing and are passed over; the last path needs no separator
// after it. A stream that is already bad, or whose reading fails, gives the error and no path.
ListedPaths ReadPathList(std::istream& in, PathListSeparator separator);

// `paths` with the argument "-" replaced by the paths of the list on `in`, in place, so that
// the order of the command line is kept; the list's error when it cannot be read.
ListedPaths WithListedPaths(const std::vector<std::string>& paths, std::istream& in,
                            PathListSeparator separator);

}  // namespace palomix
