#include "cli/PathList.h"

#include <utility>

#include "cli/BatchOptions.h"

namespace palomix {

std::vector<std::string> ReadPathList(std::istream& in, PathListSeparator separator) {
    const char end = separator == PathListSeparator::Null ? '\0' : '\n';
    std::vector<std::string> paths;
    for (std::string path; std::getline(in, path, end);) {
        if (!path.empty()) {
            paths.push_back(std::move(path));
        }
    }
    return paths;
}

std::vector<std::string> WithListedPaths(const std::vector<std::string>& paths, std::istream& in,
                                         PathListSeparator separator) {
    std::vector<std::string> result;
    result.reserve(paths.size());
    for (const std::string& path : paths) {
        if (path == kStandardInputPath) {
            std::vector<std::string> listed = ReadPathList(in, separator);
            result.insert(result.end(), std::make_move_iterator(listed.begin()),
                          std::make_move_iterator(listed.end()));
        } else {
            result.push_back(path);
        }
    }
    return result;
}

}  // namespace palomix
