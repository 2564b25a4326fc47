#include "cli/RunCommand.h"

namespace palomix {

int RunBatch(const BatchPlan& /*plan*/, JobQueue& /*jobs*/, std::ostream& /*out*/,
             std::ostream& err) {
    err << "palomix-batch: converting is not available yet; use --dry-run\n";
    return 2;
}

}  // namespace palomix
