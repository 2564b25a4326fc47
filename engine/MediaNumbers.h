// Numbers read from what a converter or the probe writes, kept within what media can be. A
// converter may print anything ("time=1e308:-1e308:00.00", "speed=infx", a length of 1e300
// seconds); such a number is taken for none, so that what is shown is absent rather than wrong,
// and nothing further along (a share, a time left, a conversion to a whole number) ever meets a
// number that is not finite or beyond any media.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace palomix {

// The longest media, and the longest time left, taken for true: about 31 years.
inline constexpr double kLongestMediaSeconds = 1e9;
// The fastest conversion taken for true, in media seconds a second.
inline constexpr double kFastestSpeed = 1e6;

// `seconds` when it is a length of media (finite, 0 to kLongestMediaSeconds); nullopt otherwise.
std::optional<double> MediaSeconds(double seconds);

// The whole text as a length of media in seconds ("12.500000"); nullopt for "N/A", a negative
// or absurd number, and anything else that is no such length.
std::optional<double> MediaSecondsIn(std::string_view text);

// `seconds` rounded to whole seconds, when it is a time a person could wait (as MediaSeconds);
// nullopt otherwise, so that no number beyond range is ever turned into an integer.
std::optional<std::int64_t> WholeSeconds(double seconds);

// `speed` when it is a conversion speed (above 0, at most kFastestSpeed); nullopt otherwise.
std::optional<double> ConversionSpeed(double speed);

}  // namespace palomix
