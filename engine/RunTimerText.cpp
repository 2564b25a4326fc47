#include "engine/RunTimerText.h"

#include <algorithm>

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

std::string ConvertingStatusText(std::int64_t seconds) {
    return "Converting...(" + ElapsedTimeText(seconds) + ")";
}

}  // namespace palomix
