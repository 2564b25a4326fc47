// --dry-run: the command lines a run would start, printed instead of started.
#pragma once

#include <ostream>

#include "engine/Engine.h"

namespace palomix {

// For each job in list order, the lines the run would start for it, one per line on `out`,
// exactly as the run would start them (the core's plan, so the two cannot differ); a note on
// `err` for each line that would not be run and each job that could not convert. Nothing is
// started and no folder is created. The exit status the run would end with for what is known
// ahead: 1 when a job would fail that way, else 0.
int PrintDryRun(Engine& engine, std::ostream& out, std::ostream& err);

}  // namespace palomix
