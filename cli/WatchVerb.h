// --watch: palomix-batch watches folders instead of converting paths given. Each file that
// arrives is converted with the chosen command into the output folder once it is complete, and
// what was converted is remembered in the user's state folder, so that a restart converts
// nothing twice (the core's watched folders, engine/Engine.h). It runs until Ctrl-C or a
// terminate or hang-up signal, which end it at once: the conversions running then are stopped,
// not remembered, and done at the next start. With --once it converts what is complete in the
// folders now and ends, as a run of those files would.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/BatchOptions.h"
#include "cli/BatchPlan.h"
#include "engine/EngineTypes.h"

namespace palomix {

struct WatchRequest {
    std::vector<std::string> folders;  // absolute, in the order given
    bool once = false;
    bool subfolders = false;
    bool retryFailed = false;
    WatchTiming timing;
};

// What the options ask to watch, and how.
WatchRequest WatchRequestOf(const BatchOptions& options);

// Watches the folders; the exit status (see WatchReporter::Finish). Does not return when a
// --once run is ended by a terminate signal, or a second signal comes while it ends.
int RunWatches(const BatchPlan& plan, const WatchRequest& request, std::ostream& err);

}  // namespace palomix
