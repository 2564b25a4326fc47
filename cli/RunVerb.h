// Converting for real: the paths given become jobs, converted one after the other with the
// chosen command, through the core's door, driven by palomix-batch's own event loop.
//
// Standard error gets one line per job as it ends ("[i/n] NAME: done (HH:MM:SS)", "failed
// (exit code N)" or "failed (signal N)" with the failed commands and the last lines of their
// output, "stopped", "could not start: REASON") and a summary line at the end. The time of a
// done job is the wall-clock time from its start to its end, whole seconds.
//
// Ctrl-C: the first one stops every running command and ends the run: the running job is
// reported as stopped, no further command starts, and the jobs not reached are counted as not
// run. A second Ctrl-C, or a terminate or hang-up signal at any time, ends the program at once:
// the running converter and its process group are killed and waited for, and the program ends
// by that signal.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/BatchPlan.h"

namespace palomix {

// Converts the paths (absolute, in the order given) and returns the exit status of
// palomix-batch. Does not return when a second Ctrl-C or a terminate signal ends the program.
int RunBatch(const BatchPlan& plan, const std::vector<std::string>& paths, std::ostream& out,
             std::ostream& err);

}  // namespace palomix
