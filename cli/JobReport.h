// What palomix-batch says about a job, in its own words (English): one line per job that is
// over ("[i/n] NAME: done (HH:MM:SS)", "... failed (exit code N)" followed by the commands that
// did not succeed with the last lines of their output, "... stopped", "... could not start:
// REASON"), and a summary line at the end.
//
// The sentences (NotRunText, JobProblemText, ...) hold names and texts as they are, for the JSON
// plan too; whoever prints one for a person makes it part of a line given to PrintableLine
// (cli/PrintableText.h). JobReportText and RunSummaryText give lines made that way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/PrintableText.h"
#include "engine/EngineTypes.h"

namespace palomix {

// "no PSP is attached", "the command line is longer than 2047 bytes", ...
std::string NotRunText(const NotRun& notRun);
// "the command has no command line to run", "the settings file 'X' cannot be read", "the
// output lasts 4.1 s, the input 20.0 s: X" (with `lengths`).
std::string JobProblemText(JobProblem problem, const std::string& subject,
                           const OutputLengths& lengths = {},
                           OutputFault fault = OutputFault::None);
// Why an output cannot be played to its end: "the probe crashed", ...
std::string OutputFaultText(OutputFault fault);
// "needs the encoder libfaac, which this ffmpeg does not have".
std::string ConverterNeedText(const ConverterNeed& need);
// The note for a run whose done jobs' outputs were not checked.
inline constexpr std::string_view kOutputsNotCheckedText =
    "the outputs were not checked: cores/ffprobe is missing";
// "the program "X" was not found", ...
std::string LaunchFailureText(const LaunchFailure& failure);
// Why a path given cannot become a job: "not found", "cannot be read (Permission denied)",
// "is longer than 4095 bytes".
std::string SkipText(const SkippedPath& skipped);
// "exit code 3", "signal 9", "not run: ...", "stopped", "could not start: ...".
std::string CommandOutcomeText(const CommandRecord& command);

// The lines about one job, each made by PrintableLine. `index` counts from 1 among `total`
// jobs; `seconds` is the job's time for a done job.
std::string JobReportText(const JobResult& result, int index, int total, std::int64_t seconds,
                          PathStyle style = NativePathStyle());

// "3 done", "3 done, 1 failed", "0 done, 1 stopped, 2 not run", "2 done, 1 skipped": the
// number done always, the others when there are any. Made by PrintableLine.
std::string RunSummaryText(const RunTally& tally);

}  // namespace palomix
