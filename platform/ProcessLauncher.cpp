#include "platform/ProcessLauncher.h"

namespace palomix {

std::string DescribeExit(const ProcessExit& exit) {
    return (exit.kind == ProcessExit::Kind::Exited ? "exit code " : "signal ") +
           std::to_string(exit.code);
}

}  // namespace palomix
