#include "cli/GatedLauncher.h"

#include <utility>

namespace palomix {

LaunchResult GatedLauncher::Launch(const std::string& commandLine, ProcessEndedHandler onEnded) {
    if (closed_) {
        return LaunchResult{false, {}, {}, std::string(kLauncherClosedReason)};
    }
    return inner_.Launch(commandLine, std::move(onEnded));
}

}  // namespace palomix
