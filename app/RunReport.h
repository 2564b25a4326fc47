// What the window tells about the jobs of the current batch and those that did not convert:
// the one-line status left of the Stop button and the list behind it of the files that failed
// or were skipped, in the window's language. A batch starts when a drop finds no run active and
// lasts until the next such drop; its counts are shown when it has ended. The list outlives the
// batch: its entries stay until the user clears them (or converts them again), and the status
// line tells when it holds entries of earlier batches only once the new batch is over.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "engine/EngineTypes.h"

namespace palomix {

class RunReport {
public:
    // A new batch: the counts start again and the launch failure is forgotten; the list stays,
    // its entries now those of earlier batches.
    void Reset();

    // What the run and the intake report.
    void CommandStarted();
    void JobEnded(const JobResult& result);
    void PathsNotAdded(const std::vector<SkippedPath>& skipped);

    // The user clears the failure list.
    void ClearFailures();
    // The files of the failed and stopped jobs of the list, in the order they ended, taken out
    // of the list to be converted again. Jobs that could not start stay: they are still in
    // the job list, and the next run tries them anyway.
    std::vector<std::string> TakeFilesToConvertAgain();
    bool HasFilesToConvertAgain() const;

    // The list: the jobs that failed, were stopped, were skipped or could not be started, in
    // the order they ended (a job that could not start is listed once, with its latest
    // result), and the dropped paths that added no job.
    const std::vector<JobResult>& FailedJobs() const { return failed_; }
    const std::vector<SkippedPath>& NotAdded() const { return notAdded_; }
    int FailureCount() const { return static_cast<int>(failed_.size() + notAdded_.size()); }
    // How many entries of the list the current batch added, and how many earlier batches did.
    int BatchEntries() const { return FailureCount() - EarlierEntries(); }
    int EarlierEntries() const { return earlierFailed_ + earlierNotAdded_; }
    // How the jobs of the current batch ended, and how many of its paths added no job.
    const RunTally& Tally() const { return tally_; }
    int NotAddedCount() const { return notAddedCount_; }
    // Why the last run stopped at a job that could not start, until the next batch or the next
    // command that starts.
    const std::optional<LaunchFailure>& LaunchFailed() const { return launchFailure_; }
    // A job of the batch was done without its outputs being checked (no cores/ffprobe).
    bool OutputsNotChecked() const { return outputsNotChecked_; }

private:
    // Takes the listed jobs out that the predicate picks, keeping the count of earlier ones.
    void EraseListed(const std::function<bool(const JobResult&)>& pick);

    // Each list holds the entries of earlier batches first: entries are only ever added at
    // the end.
    std::vector<JobResult> failed_;
    std::vector<SkippedPath> notAdded_;
    int earlierFailed_ = 0;
    int earlierNotAdded_ = 0;
    RunTally tally_;
    int notAddedCount_ = 0;
    std::optional<LaunchFailure> launchFailure_;
    bool outputsNotChecked_ = false;
};

// The words of the window for a launch failure, a command's end, a job's problem, a path that
// added no job, and a system error code.
std::string LaunchFailureWords(const LaunchFailure& failure, const RunTexts& texts);
std::string CommandEndWords(const CommandRecord& command, const RunTexts& texts);
std::string JobProblemWords(JobProblem problem, const std::string& subject, const RunTexts& texts,
                            const OutputLengths& lengths = {},
                            OutputFault fault = OutputFault::None);
// "needs the encoder libfaac, which this ffmpeg does not have".
std::string ConverterNeedWords(const ConverterNeed& need, const RunTexts& texts);
std::string NotAddedWords(const SkippedPath& skipped, const RunTexts& texts);
std::string SystemErrorWords(int code, const RunTexts& texts);

// The counts of a batch that are not zero, joined: "12 converted, 2 failed, 1 stopped" (jobs
// that could not start are told otherwise: they stay in the list).
std::string BatchCountWords(const RunTally& tally, int notAdded, const RunTexts& texts);

// The one-line status: during a run the jobs in the list and what failed or was skipped so
// far; when idle the reason of a launch failure, else the counts of the last batch, and that
// earlier failures wait in the list when only those do. The hint "(click for details)" follows
// while the line points to the list: to entries of this batch, or, when idle, to earlier ones.
// Empty before the first batch. `progress` follows the jobs in the list during a run (the
// queue's share and time left).
struct StatusLine {
    std::string text;
    std::string hint;  // shown after the text when there is room for both
    std::string path;  // a path inside the text, to be shortened in its middle; may be empty
    bool pointsToList = false;  // a click on the line opens the list
};
StatusLine RunStatusLine(const RunReport& report, bool runActive, int jobCount,
                         const RunTexts& texts, std::string_view progress = {});
// The whole line: its text followed by its hint.
std::string RunStatusText(const RunReport& report, bool runActive, int jobCount,
                          const RunTexts& texts);

// The list, one block per entry: the paths that added no job, then the jobs: file, and for each
// command that did not succeed its line, how it ended (exit code or signal, stopped, not run
// and why, could not start and why), the reason in words when the converter's last lines show a
// common one, and those lines; a job's own problem last (for a skipped job, why it was
// skipped).
std::string FailureListText(const RunReport& report, const RunTexts& texts);

}  // namespace palomix
