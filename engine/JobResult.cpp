#include "engine/JobResult.h"

#include <algorithm>
#include <cstdio>

namespace palomix {

std::string OneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

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
