#include "cli/PathList.h"

#include <ios>
#include <utility>

#include "cli/BatchOptions.h"

namespace palomix {

ListedPaths ReadPathList(std::istream& in, PathListSeparator separator) {
    ListedPaths listed;
    if (in.bad()) {
        listed.error = "it is closed";  // how palomix-batch's main hands over a closed one
        return listed;
    }
    const char end = separator == PathListSeparator::Null ? '\0' : '\n';
    // A read error (standard input is a folder, say) would otherwise look like the end of the
    // list: the stream is made to throw it, with the system's reason.
    const std::ios::iostate exceptions = in.exceptions();
    in.exceptions(std::ios::badbit);
    try {
        for (std::string path; std::getline(in, path, end);) {
            if (!path.empty()) {
                listed.paths.push_back(std::move(path));
            }
        }
    } catch (const std::ios_base::failure& failure) {
        listed.error = failure.code().message();
    }
    if (listed.error.empty() && in.bad()) {
        listed.error = "a read failed";  // a stream that marks the error without a reason
    }
    if (!listed.Ok()) {
        listed.paths.clear();  // a part of a list is not a list
    }
    in.exceptions(exceptions);
    return listed;
}

ListedPaths WithListedPaths(const std::vector<std::string>& paths, std::istream& in,
                            PathListSeparator separator) {
    ListedPaths result;
    result.paths.reserve(paths.size());
    for (const std::string& path : paths) {
        if (path != kStandardInputPath) {
            result.paths.push_back(path);
            continue;
        }
        ListedPaths listed = ReadPathList(in, separator);
        if (!listed.Ok()) {
            return listed;
        }
        result.paths.insert(result.paths.end(), std::make_move_iterator(listed.paths.begin()),
                            std::make_move_iterator(listed.paths.end()));
    }
    return result;
}

}  // namespace palomix
