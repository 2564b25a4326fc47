// The outputs of one converting job: the files its lines write under their temporary names,
// which of them are media (and how the lines limit their length), the check of those once
// every line has succeeded (engine/OutputCheck.h), and at the end either all of them put under
// their final names or all of them removed. The batch run keeps one per converting job.
//
// Temporary names hurt no one: each is ".palomix-XXXXXX-" and the output's name in the output's
// own folder (hidden, the extension last, so that a converter still picks the format from it),
// XXXXXX drawn at random for the job, and the file is made by the job itself, new, before a
// converter opens it: a file someone put there beforehand (or a link planted to another file)
// makes it fail instead of being written through. Only the files the job made are ever removed,
// and each is noted with the launcher until then (ProcessLauncher::NoteTemporary), so that a
// killed program's temporaries are removed at the next start.
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

class DeviceAccess;
class ProcessLauncher;

// Where a job's temporary files are made (nullptr: on the file system itself) and noted
// (nullptr: nowhere).
struct TemporaryPlace {
    DeviceAccess* maker = nullptr;
    ProcessLauncher* ledger = nullptr;
};

// A temporary file a job made: removed only while it is still that file.
struct MadeFile {
    std::string path;
    std::optional<std::string> identity;  // FileIdentityOf when it was made

    // Removes it unless another file has taken its name since.
    void RemoveIfStillMade() const;
};

class JobOutputs {
public:
    JobOutputs() = default;
    JobOutputs(std::string outputName, PathStyle style, TemporaryPlace place);

    const std::string& OutputName() const { return outputName_; }
    // The name the outputs are written under while the job runs.
    const std::string& TemporaryName() const { return temporaryName_; }

    // A line of the job starts: the files it writes, under their temporary names, are made
    // new. nullopt when they are; else the file that could not be made (something stands
    // there already, or the folder refuses it), and the line must not run.
    std::optional<std::string> LineStarts(const PlannedLine& line);
    // The temporary files made so far.
    std::vector<MadeFile> Temporaries() const;

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
    // Puts every output under its final name (entered in the book), all or none: the files
    // from before the run that stand there are set aside first and put back when one output
    // cannot be put in place, and then the new ones are removed. false, with the result's
    // problem set, when they are not kept. `keepDates`: each gets the source's modification
    // time.
    bool Keep(JobResult& result, OutputBook& book, bool keepDates);
    // Removes the temporary files of a job that did not succeed, and frees its names in the book.
    void Discard(const JobResult& result, OutputBook& book);

private:
    // A file the job's lines write, under its temporary name.
    struct Written {
        LineOutput output;
        std::optional<std::string> identity;  // of the file the job made there
        bool media = false;  // a line writes it as media (not a side file): it is checked
        LengthLimit limit;   // what those lines say of its length
        MadeKinds made;      // the kinds of stream those lines make
        std::optional<std::int64_t> sizeLimit;  // where a line stops writing it (-fs)
    };
    std::string FinalName(const Written& written) const;
    // True while the file at the temporary name is still the one the job made.
    static bool StillOurs(const Written& written);
    void Forget(const std::string& path);

    std::string outputName_;
    std::string temporaryName_;
    PathStyle style_ = NativePathStyle();
    TemporaryPlace place_;
    std::vector<Written> written_;
    std::optional<std::size_t> next_;  // once the check has begun: the file checked next
};

}  // namespace palomix
