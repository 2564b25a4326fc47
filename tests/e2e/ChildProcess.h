// Runs a program to its end for the end-to-end tests (ffmpeg, ffprobe, palomix-batch), with
// standard input from the null device and its output caught in files.
#pragma once

#include <string>
#include <vector>

namespace palomix::e2e {

struct ProcessOutput {
    int exitCode = -1;  // -1 when it could not be started or ended by a signal
    std::string out;
    std::string err;
};

// `arguments[0]` is the program: a path, or a name looked up on PATH. Runs in `folder` when
// one is given, else in the current folder; its standard input is the file `input` when one is
// given, else the null device.
ProcessOutput RunProcess(const std::vector<std::string>& arguments, const std::string& folder = {},
                         const std::string& input = {});

// True when `path` names an executable file (a link to one counts).
bool IsExecutable(const std::string& path);

}  // namespace palomix::e2e
