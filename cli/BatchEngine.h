// The core's door as palomix-batch sets it up: the chosen command fixed, the output folder and
// the drives of the command line, and the paths given taken in as a drop takes them.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/BatchPlan.h"
#include "engine/Engine.h"

namespace palomix {

// An Engine for the plan. `makeLauncher` empty: the system's launcher.
std::unique_ptr<Engine> MakeBatchEngine(
    const BatchPlan& plan, PostToHost post,
    std::function<std::unique_ptr<ProcessLauncher>(PostToHost)> makeLauncher = {});

// Puts the paths (absolute) into the engine's job list in the order given; a warning on `err`
// for each path that cannot become a job, saying why. The number of such paths.
int TakePaths(Engine& engine, const std::vector<std::string>& paths, std::ostream& err);
// The warnings of the paths that could not become a job, one a line.
void SaySkipped(const IntakeResult& intake, std::ostream& err);

}  // namespace palomix
