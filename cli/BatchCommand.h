// palomix-batch from its arguments to its exit status: the checks against the program
// folder, --list, the intake of the paths, and then a dry run or a real run.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/BatchExit.h"

namespace palomix {

// Which of the standard streams are a person's terminal.
struct Terminals {
    bool out = false;  // the text of --list and --dry-run is cleaned as messages are
    bool err = false;  // a live progress line is drawn there during a run
};

// `arguments` are those after the program name. A PATH "-" reads the paths listed on `in`
// (PathList.h); a stream that is bad from the start stands for a closed standard input. Results
// go to `out`, warnings and the one-line reason of a failure to `err`, every line for a person
// made by PrintableLine (cli/PrintableText.h).
int RunPalomixBatch(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
                    std::ostream& err, Terminals terminals = {});

}  // namespace palomix
