// The texts of the job list's status column that read the same in both languages: a waiting
// job's, and the run timer's.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace palomix {

inline constexpr std::string_view kWaitStatus = "Wait...";

// "HH:MM:SS" for a number of seconds: each part at least two digits, the hours unbounded
// (360000 gives "100:00:00"). A negative number counts as 0.
std::string ElapsedTimeText(std::int64_t seconds);

// The status of the running job: "Converting...(" + ElapsedTimeText + ")", the same in both
// languages.
std::string ConvertingStatusText(std::int64_t seconds);

}  // namespace palomix
