#include "platform/ProcessLauncher.h"

#include <utility>

namespace palomix {

std::string DescribeExit(const ProcessExit& exit) {
    std::string text = (exit.kind == ProcessExit::Kind::Exited ? "exit code " : "signal ") +
                       std::to_string(exit.code);
    return exit.timeLimitReached ? text + " after the time limit" : text;
}

LaunchResult ProcessLauncher::Launch(const std::string& commandLine, const LaunchOptions& options,
                                     ProcessEndedHandler onEnded) {
    if (options == LaunchOptions{}) {
        return Launch(commandLine, std::move(onEnded));
    }
    return LaunchResult{false, {}, {}, "this launcher cannot run a command with launch options"};
}

namespace {

class Refusing final : public ProcessLauncher {
public:
    LaunchResult Launch(const std::string& /*commandLine*/,
                        ProcessEndedHandler /*onEnded*/) override {
        LaunchResult result;
        result.reason = "no command may start";
        result.failure.error = LaunchError::Refused;
        result.failure.detail = result.reason;
        return result;
    }
    bool Terminate(ProcessHandle /*handle*/) override { return false; }
    void DiscardLog(ProcessHandle /*handle*/) override {}
};

}  // namespace

std::unique_ptr<ProcessLauncher> RefusingLauncher() {
    return std::make_unique<Refusing>();
}

}  // namespace palomix
