// Converting for real: the jobs of the queue, one after the other, with the chosen command.
#pragma once

#include <ostream>

#include "cli/BatchPlan.h"
#include "engine/JobQueue.h"

namespace palomix {

// Runs every job of the queue and returns the exit status of palomix-batch.
int RunBatch(const BatchPlan& plan, JobQueue& jobs, std::ostream& out, std::ostream& err);

}  // namespace palomix
