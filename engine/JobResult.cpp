#include "engine/JobResult.h"

namespace palomix {

std::string_view JobOutcomeName(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::Done:
            return "done";
        case JobOutcome::Failed:
            return "failed";
        case JobOutcome::Stopped:
            return "stopped";
        case JobOutcome::NotStarted:
            return "not started";
    }
    return "unknown";
}

std::string FailedCommand::Outcome() const {
    return notRunReason.empty() ? DescribeExit(exit) : "not run: " + notRunReason;
}

}  // namespace palomix
