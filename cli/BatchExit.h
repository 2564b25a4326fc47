// palomix-batch's name, as it signs what it says, and its exit statuses.
#pragma once

#include <string_view>

namespace palomix {

inline constexpr std::string_view kProgramName = "palomix-batch";

inline constexpr int kBatchExitOk = 0;
// Every command of every job ended with code 0 (also: nothing was to be converted).
inline constexpr int kBatchExitConverted = 0;
// A command failed (non-zero exit code or a signal), a line could not be run, a job was
// stopped, a path given was left out, or the run was interrupted; also an unexpected error.
inline constexpr int kBatchExitCommandFailed = 1;
inline constexpr int kBatchExitFailure = 1;
// Bad usage, missing or unknown settings, or no command selected.
inline constexpr int kBatchExitUsage = 2;
inline constexpr int kBatchExitNothingSelected = 2;
// A command line could not be started (its program is missing, say); the run ended there.
inline constexpr int kBatchExitNotStarted = 3;

}  // namespace palomix
