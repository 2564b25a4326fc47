// A prepared command line as the argument list the launcher starts: the program as the system
// finds it, then the arguments of the text after it, split by the rules of
// platform/CommandLineSplit.h. What a run would start, for printing instead of starting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/LauncherCore.h"

namespace palomix {

// The argument list of `commandLine`: argument 0 is the program `finder` finds for the first
// reading of the line's start that names one (ProgramCandidates), and the rest are the
// arguments of the text after that reading. When no reading names a program, argument 0 is
// the first reading as the line writes it, as the failure to start would name it. Empty for an
// empty or all-blank line.
std::vector<std::string> LaunchArguments(std::string_view commandLine, NativeLauncher& finder);

}  // namespace palomix
