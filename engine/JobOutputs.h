// The outputs of one converting job: the files its lines write under their temporary names,
// which of them are media (and how the lines limit their length), the check of those once
// every line has succeeded (engine/OutputCheck.h), and at the end either all of them put under
// their final names or all of them removed. The batch run keeps one per converting job.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/FfmpegArguments.h"
#include "engine/OutputCheck.h"
#include "engine/OutputNames.h"

namespace palomix {

class JobOutputs {
public:
    JobOutputs() = default;
    JobOutputs(std::string outputName, PathStyle style)
        : outputName_(std::move(outputName)), style_(style) {}

    const std::string& OutputName() const { return outputName_; }

    // A line of the job starts: the files it writes, under their temporary names.
    void LineStarts(const PlannedLine& line);

    // --- The check ---------------------------------------------------------------------------
    // True when a line wrote a media file (only those are checked).
    bool AnyMedia() const;
    bool CheckBegun() const { return next_.has_value(); }
    void BeginCheck() { next_ = 0; }
    // The next media file to probe, under its temporary name; nullopt when the check is over:
    // every file passed, or one is missing or empty (the result's problem then says which).
    std::optional<std::string> NextToProbe(JobResult& result);
    // What the probe said of the file NextToProbe gave; a file that fails ends the check with
    // the result's problem set.
    void Judge(const ProbedMedia& probed, const InputLengths& input, JobResult& result);

    // --- The end -----------------------------------------------------------------------------
    // Puts every output under its final name (entered in the book); false, with the result's
    // problem set, when one cannot be. `keepDates`: each gets the source's modification time.
    bool Keep(JobResult& result, OutputBook& book, bool keepDates);
    // Removes the temporary files of a job that did not succeed, and frees its names in the book.
    void Discard(const JobResult& result, OutputBook& book) const;

private:
    // A file the job's lines write, under its temporary name.
    struct Written {
        LineOutput output;
        bool media = false;  // a line writes it as media (not a side file): it is checked
        LengthLimit limit;   // what those lines say of its length
        MadeKinds made;      // the kinds of stream those lines make
        std::optional<std::int64_t> sizeLimit;  // where a line stops writing it (-fs)
    };
    std::string FinalName(const Written& written) const;

    std::string outputName_;
    PathStyle style_ = NativePathStyle();
    std::vector<Written> written_;
    std::optional<std::size_t> next_;  // once the check has begun: the file checked next
};

}  // namespace palomix
