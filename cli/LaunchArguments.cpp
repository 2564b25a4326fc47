#include "cli/LaunchArguments.h"

#include "platform/CommandLineSplit.h"

namespace palomix {

namespace {

// As the launcher judges a reading before asking the system: a name with a double quote, or
// one that starts with a blank, is never a program.
bool CanNameAProgram(std::string_view name) {
    return !name.empty() && name.find('"') == std::string_view::npos &&
           !IsArgumentSeparator(name.front());
}

std::vector<std::string> WithArguments(std::string program, std::string_view rest) {
    std::vector<std::string> arguments = SplitArguments(rest);
    arguments.insert(arguments.begin(), std::move(program));
    return arguments;
}

}  // namespace

std::vector<std::string> LaunchArguments(std::string_view commandLine, NativeLauncher& finder) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    if (candidates.empty()) {
        return {};
    }
    for (const ProgramCandidate& candidate : candidates) {
        if (!CanNameAProgram(candidate.program)) {
            continue;
        }
        if (std::string program = finder.FindProgram(candidate.program); !program.empty()) {
            return WithArguments(std::move(program), candidate.rest);
        }
    }
    return WithArguments(candidates.front().program, candidates.front().rest);
}

}  // namespace palomix
