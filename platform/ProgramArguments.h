// The arguments the program was started with, as UTF-8 texts like every other string of the
// program. On Windows the C runtime hands main() texts in the ANSI code page, which cannot
// hold every file name, so the arguments are taken from the wide command line instead.
#pragma once

#include <string>
#include <vector>

namespace palomix {

// The arguments after the program's own name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace palomix
