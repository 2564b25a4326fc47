#include "platform/ProcessLauncher.h"

namespace palomix {

std::string DescribeExit(const ProcessExit& exit) {
    return (exit.kind == ProcessExit::Kind::Exited ? "exit code " : "signal ") +
           std::to_string(exit.code);
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
