#include "engine/JobResult.h"

#include <algorithm>

namespace palomix {

int JobResult::CommandsRun() const {
    return static_cast<int>(std::count_if(commands.begin(), commands.end(), [](const auto& c) {
        return c.state == CommandState::Succeeded || c.state == CommandState::Failed ||
               c.state == CommandState::Stopped;
    }));
}

const CommandRecord* JobResult::FirstProblem() const {
    const auto found = std::find_if(commands.begin(), commands.end(), [](const auto& c) {
        return c.state != CommandState::Succeeded;
    });
    return found == commands.end() ? nullptr : &*found;
}

}  // namespace palomix
