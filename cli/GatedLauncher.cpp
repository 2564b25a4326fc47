#include "cli/GatedLauncher.h"

#include <utility>

namespace palomix {

LaunchResult GatedLauncher::Launch(const std::string& commandLine, ProcessEndedHandler onEnded) {
    if (closed_) {
        return LaunchResult{false, {}, {}, std::string(kLauncherClosedReason)};
    }
    return inner_.Launch(commandLine, std::move(onEnded));
}

LaunchResult GatedLauncher::Launch(const std::string& commandLine, const LaunchOptions& options,
                                   ProcessEndedHandler onEnded) {
    if (closed_) {
        return LaunchResult{false, {}, {}, std::string(kLauncherClosedReason)};
    }
    return inner_.Launch(commandLine, options, std::move(onEnded));
}

}  // namespace palomix
