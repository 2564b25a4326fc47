// File names that hold what a shell, a command line or cmd.exe would take for something else,
// and Japanese characters: each system's own set, as far as its file systems allow (Windows
// names cannot hold a double quote).
#pragma once

#include <string>

namespace palomix::testing {

extern const std::string kOddSettingsName;  // a settings file, ending in .ini
extern const std::string kOddJobName;       // a job file, ending in .mpg

}  // namespace palomix::testing
