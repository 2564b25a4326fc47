// Where the running program lives: the program folder holds convert_settings/, cores/ and
// the state file, so every front end finds them from here.
#pragma once

#include <string>

namespace palomix {

// Full path of the running executable (GetModuleFileNameW, /proc/self/exe).
std::string ExecutablePath();

// Folder of the running executable, without a trailing separator except at a root.
std::string ExecutableFolder();

}  // namespace palomix
