// palomix-batch from its arguments to its exit status: the checks against the program
// folder, --list, the intake of the paths, and then a dry run or a real run.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/BatchExit.h"

namespace palomix {

// `arguments` are those after the program name. A PATH "-" reads the paths listed on `in`
// (PathList.h). Results go to `out`, warnings and the one-line reason of a failure to `err`;
// when `err` is a terminal, a live progress line is drawn there during a run.
int RunPalomixBatch(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                    std::ostream& err, bool errIsTerminal = false);

}  // namespace palomix
