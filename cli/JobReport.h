// What palomix-batch prints on standard error about a run: one line per job that is over
// ("[i/n] NAME: done (HH:MM:SS)", "... failed (exit code N)" followed by the failed commands
// with the last lines of their output, "... stopped", "... could not start: REASON"), and a
// summary line at the end.
#pragma once

#include <cstdint>
#include <string>

#include "engine/JobResult.h"
#include "platform/PathRules.h"

namespace palomix {

// The lines about one job (each ended by '\n'). `index` counts from 1 among `total` jobs;
// `seconds` is the job's time for a done job. `commandLine` is the line that could not be
// started, for a job that was not started (empty: none is printed).
std::string JobReportText(const JobResult& result, int index, int total, std::int64_t seconds,
                          const std::string& commandLine = {}, PathStyle style = NativePathStyle());

// How the jobs of a run ended.
struct RunTally {
    int done = 0;
    int failed = 0;
    int stopped = 0;
    int notRun = 0;  // not started, or never reached because the run ended early
};

// "3 done", "3 done, 1 failed", "0 done, 1 stopped, 2 not run": the number done always, the
// others when there are any. Ended by '\n'.
std::string RunSummaryText(const RunTally& tally);

}  // namespace palomix
