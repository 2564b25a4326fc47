#include "cli/LaunchArguments.h"

#include "platform/CommandLineSplit.h"

namespace palomix {

namespace {

std::vector<std::string> WithArguments(std::string program, std::string_view rest) {
    std::vector<std::string> arguments = SplitArguments(rest);
    arguments.insert(arguments.begin(), std::move(program));
    return arguments;
}

}  // namespace

std::vector<std::string> LaunchArguments(std::string_view commandLine, NativeLauncher& finder) {
    if (std::optional<ResolvedProgram> resolved = ResolveProgram(commandLine, finder)) {
        return WithArguments(std::move(resolved->program), resolved->rest);
    }
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    if (candidates.empty()) {
        return {};
    }
    return WithArguments(candidates.front().program, candidates.front().rest);
}

}  // namespace palomix
