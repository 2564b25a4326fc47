// A launcher that can be shut: until Close it hands every call to the launcher it wraps;
// after it, no command is started any more ("not launched", with kLauncherClosedReason),
// while the processes already running can still be stopped and their ends still arrive.
// palomix-batch shuts it at the first Ctrl-C, so that nothing new starts while the run winds
// down, whatever moment the Ctrl-C hits.
#pragma once

#include <string_view>

#include "platform/ProcessLauncher.h"

namespace palomix {

inline constexpr std::string_view kLauncherClosedReason = "the run was interrupted";

class GatedLauncher final : public ProcessLauncher {
public:
    // `inner` is not owned and must outlive this launcher.
    explicit GatedLauncher(ProcessLauncher& inner) : inner_(inner) {}

    void Close() { closed_ = true; }
    bool Closed() const { return closed_; }

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override;
    LaunchResult Launch(const std::string& commandLine, const LaunchOptions& options,
                        ProcessEndedHandler onEnded) override;
    bool Terminate(ProcessHandle handle) override { return inner_.Terminate(handle); }
    void DiscardLog(ProcessHandle handle) override { inner_.DiscardLog(handle); }

private:
    ProcessLauncher& inner_;
    bool closed_ = false;
};

}  // namespace palomix
