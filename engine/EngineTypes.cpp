#include "engine/EngineTypes.h"

#include <algorithm>
#include <cstdio>

namespace palomix {

namespace {

// At least two digits, all digits from 100 on.
void AppendTwoDigits(std::string& text, std::int64_t value) {
    if (value < 10) {
        text += '0';
    }
    text += std::to_string(value);
}

}  // namespace

std::string OneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string ElapsedTimeText(std::int64_t seconds) {
    const std::int64_t s = std::max<std::int64_t>(seconds, 0);
    std::string text;
    AppendTwoDigits(text, s / 60 / 60);
    text += ':';
    AppendTwoDigits(text, s / 60 % 60);
    text += ':';
    AppendTwoDigits(text, s % 60);
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

void RunTally::Add(JobOutcome outcome) {
    switch (outcome) {
        case JobOutcome::Done:
            ++done;
            break;
        case JobOutcome::Failed:
            ++failed;
            break;
        case JobOutcome::Stopped:
            ++stopped;
            break;
        case JobOutcome::NotStarted:
            ++notRun;
            break;
        case JobOutcome::Skipped:
            ++skipped;
            break;
    }
}

}  // namespace palomix
