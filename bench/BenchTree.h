// Folder trees of empty files for the intake benchmarks, built once and kept for later runs.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "platform/FileSystem.h"

namespace palomix::bench {

// The number with leading zeros to at least `width` digits.
inline std::string Number(int value, int width) {
    std::string text = std::to_string(value);
    return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))),
                       '0') +
           text;
}

// `folders` folders, folder i at folderOf(i), each with `filesPerFolder` empty files
// clip-NNNNN.mp4 numbered through the whole tree. Nothing is done when the marker file
// exists; it is written once the tree is complete.
inline bool BuildFileTree(const std::string& marker, int folders, int filesPerFolder,
                          const std::function<std::string(int)>& folderOf) {
    if (PathExists(marker)) {
        return true;
    }
    std::printf("building the tree for %s ...\n", marker.c_str());
    int file = 0;
    for (int f = 0; f < folders; ++f) {
        const std::string folder = folderOf(f);
        if (!CreateFolderTree(folder)) {
            std::fprintf(stderr, "cannot create %s\n", folder.c_str());
            return false;
        }
        for (int k = 0; k < filesPerFolder; ++k, ++file) {
            const std::string path = folder + "/clip-" + Number(file, 5) + ".mp4";
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) {
                std::fprintf(stderr, "cannot create %s\n", path.c_str());
                return false;
            }
            ::close(fd);
        }
    }
    std::ofstream(marker) << "complete\n";
    return true;
}

}  // namespace palomix::bench
