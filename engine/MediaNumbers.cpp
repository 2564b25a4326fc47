#include "engine/MediaNumbers.h"

#include <charconv>
#include <cmath>

namespace palomix {

std::optional<double> MediaSeconds(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > kLongestMediaSeconds) {
        return std::nullopt;
    }
    return seconds;
}

std::optional<double> MediaSecondsIn(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return MediaSeconds(value);
}

std::optional<std::int64_t> WholeSeconds(double seconds) {
    const std::optional<double> known = MediaSeconds(seconds);
    if (!known) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::llround(*known));
}

std::optional<double> ConversionSpeed(double speed) {
    if (!std::isfinite(speed) || !(speed > 0) || speed > kFastestSpeed) {
        return std::nullopt;
    }
    return speed;
}

}  // namespace palomix
