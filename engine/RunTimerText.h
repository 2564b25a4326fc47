// The texts of the run timer and of the Stop button's failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/Language.h"

namespace palomix {

// "HH:MM:SS" for a number of seconds: each part at least two digits, the hours unbounded
// (360000 gives "100:00:00"). A negative number counts as 0.
std::string ElapsedTimeText(std::int64_t seconds);

// The status of the running job: "Converting...(" + ElapsedTimeText + ")", the same in both
// languages.
std::string ConvertingStatusText(std::int64_t seconds);

// The message of a stop that could not end the running command: Japanese when the Japanese
// menu item carries the check mark, English otherwise (also when neither does).
std::string_view StopFailedMessage(std::optional<Language> language);

}  // namespace palomix
