// --dry-run: the command lines a run would start, printed instead of started.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/BatchOptions.h"
#include "engine/Engine.h"

namespace palomix {

// The "version" every object of the JSON plan carries; it grows when a field changes its
// meaning or goes away (new fields may be added without it).
inline constexpr int kJsonPlanVersion = 1;

// Where the dry run prints and how.
struct DryRunOutput {
    OutputFormat format = OutputFormat::Text;
    bool terminal = false;  // standard output is a person's terminal: text lines are cleaned
};

// For each job in list order, the lines the run would start for it, exactly as the run would
// start them (the core's plan, so the two cannot differ), on `out`, each job as soon as it is
// planned:
// - Text: each line as it is, one per line (made by PrintableLine on a terminal);
// - Json: one JSON object per job and line (see JsonText.h for how names that are not UTF-8
//   are written):
//     {"version":1,"input":PATH,"output_folder":DIR,"commands":[[PROGRAM,ARG,...],...],
//      "outputs":[PATH,...]}
//   each command as the argument list the launcher would start, the files those commands
//   write under their final names, with "not_run":[{"command":N,"reason":TEXT},...] and
//   "problem":TEXT added when the job has lines that would not run or a problem of its own.
// A note on `err` for each line that would not be run and each job that could not convert.
// Nothing is started and no folder is created. The exit status the run would end with for
// what is known ahead: 1 when a job would fail that way, else 0.
// The paths are taken as a drop takes them (those that cannot become a job said on `err`, as
// the run says them); `skipped` receives how many.
int PrintDryRun(Engine& engine, std::span<const std::string> paths, DryRunOutput output,
                std::ostream& out, std::ostream& err, int& skipped);

}  // namespace palomix
