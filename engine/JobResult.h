// What became of one job of a batch run, kept for the front ends: the window shows a summary
// of the failed jobs, palomix-batch prints every result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProcessLauncher.h"

namespace palomix {

// How many lines of a failed command's log a result keeps.
inline constexpr std::size_t kFailedCommandLogLines = 20;

enum class JobOutcome {
    Done,        // every command of the job ran and succeeded (also when no command ran)
    Failed,      // every command ran, but at least one ended with a non-zero code or a signal
    Stopped,     // the Stop button ended the job's running command; the job left the list
    NotStarted,  // a command of the job could not be started; the job stays in row 1
};

// "done", "failed", "stopped", "not started".
std::string_view JobOutcomeName(JobOutcome outcome);

// One command of a job that did not succeed.
struct FailedCommand {
    std::string commandLine;            // the line as it was launched
    ProcessExit exit;                   // its exit code or signal
    std::vector<std::string> logLines;  // the last lines of its output, oldest first
    // Set when the line was not started at all, saying why ("no PSP is attached"); `exit`
    // then means nothing.
    std::string notRunReason = {};

    // "exit code 3", "signal 9", or "not run: " and the reason.
    std::string Outcome() const;
};

struct JobResult {
    std::string path;  // full path of the job (column 2 of its row)
    JobOutcome outcome = JobOutcome::Done;
    // The time shown last in the job's status cell: the run timer's ticks, in seconds.
    std::int32_t elapsedSeconds = 0;
    // Commands launched for the job, the running one of a stopped job included.
    int commandsRun = 0;
    std::vector<FailedCommand> failures;  // in the order the commands ran
    // NotStarted: why the command could not be started (the launcher's reason).
    std::string launchFailure;
};

}  // namespace palomix
