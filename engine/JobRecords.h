// What the run writes down of a job as its lines end: the record of a line that ended or could
// not start (with the last lines of a failed one's output), what a converter's words say of a
// card that refused a file, and the job's outcome from its records.
#pragma once

#include <cstdint>
#include <string>

#include "engine/EngineTypes.h"
#include "engine/Progress.h"

namespace palomix {

// The record of a line that ran and ended; a failed one keeps the last lines of its messages
// (statistics lines left out).
CommandRecord EndedLineRecord(int templateNumber, std::string commandLine, ProcessExit exit,
                              const std::string& logPath);
// The record of a line the launcher could not start.
CommandRecord UnlaunchedLineRecord(const PlannedLine& line, const LaunchFailure& failure);
// True when a failed line's converter said the file system refused a file that large (a FAT
// volume past 4 GiB).
bool CardRefusedWrite(const CommandRecord& record);
// What the end of a converting log says of its progress (only its last bytes are read).
LogProgress ProgressOfLog(const std::string& logPath);

// The job's outcome from what its lines came to: done only when a command ran and none
// failed nor was left out (a job that ran none gets NothingToRun).
JobOutcome OutcomeOf(JobResult& result);
// True while the job has succeeded so far: its outputs are worth checking.
bool SucceededSoFar(const JobResult& result);
// The name of the program a line starts, for the not-started status: its file name.
std::string ProgramNameOf(const PlannedLine& line, PathStyle style);
// Each tick shows the seconds, then advances them: the time shown last is one less.
std::int32_t ShownSeconds(std::int32_t elapsed);

}  // namespace palomix
