// --dry-run: the command lines a run would start, printed instead of started.
#pragma once

#include <ostream>

#include "cli/BatchPlan.h"
#include "engine/JobQueue.h"
#include "platform/Drives.h"
#include "settings/IniFile.h"

namespace palomix {

// For each job in queue order and each command line 0..255 of the chosen command, the line
// as prepared for that job, one per line; skipped lines print nothing. The command lines are
// read from the settings file as they are prepared, like a run reads them. `devices` should
// create nothing (DryRunDeviceAccess).
void PrintDryRun(const BatchPlan& plan, const JobQueue& jobs, IniReader& reader,
                 DeviceAccess& devices, std::ostream& out);

}  // namespace palomix
