#include "engine/JobOutputs.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace palomix {

namespace {

// True when the line writes `path` as media (see NamesMediaOutput).
bool WritesMedia(const std::vector<std::string>& arguments, const std::string& path) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == path && NamesMediaOutput(arguments, i)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void JobOutputs::LineStarts(const PlannedLine& line) {
    const LengthLimit limit = LengthLimitOfArguments(line.arguments);
    for (const LineOutput& output : line.outputs) {
        auto known = std::find_if(written_.begin(), written_.end(),
                                  [&](const Written& w) { return w.output.path == output.path; });
        if (known == written_.end()) {
            known = written_.insert(known, Written{output, false, {}, {}, {}});
        }
        if (WritesMedia(line.arguments, output.path)) {
            const MadeKinds made = MadeKindsOfArguments(line.arguments);
            known->made = known->media ? MadeKinds{known->made.audio || made.audio,
                                                   known->made.video || made.video}
                                       : made;
            known->media = true;
            known->limit |= limit;
            known->sizeLimit = SizeLimitOfArguments(line.arguments);
        }
    }
}

bool JobOutputs::AnyMedia() const {
    return std::any_of(written_.begin(), written_.end(),
                       [](const Written& written) { return written.media; });
}

std::string JobOutputs::FinalName(const Written& written) const {
    return written.output.Renamed(outputName_, style_);
}

std::optional<std::string> JobOutputs::NextToProbe(JobResult& result) {
    while (next_ && *next_ < written_.size()) {
        const Written& written = written_[*next_];
        if (!written.media) {
            ++*next_;
            continue;
        }
        const std::optional<std::int64_t> size = FileSizeOf(written.output.path);
        // An output that reached its line's size limit was cut there: a FAT card holds no more.
        const bool full = size && written.sizeLimit && *size >= *written.sizeLimit;
        if (!size || *size == 0 || full) {
            result.problem = full   ? JobProblem::TooLargeForPlayer
                             : size ? JobProblem::OutputEmpty
                                    : JobProblem::OutputMissing;
            result.problemSubject = FinalName(written);
            next_ = written_.size();
            return std::nullopt;
        }
        return written.output.path;
    }
    return std::nullopt;
}

void JobOutputs::Judge(const ProbedMedia& probed, const InputLengths& input, JobResult& result) {
    if (!next_ || *next_ >= written_.size()) {
        return;
    }
    const Written& written = written_[*next_];
    const OutputVerdict verdict = JudgeOutput(probed, input, written.limit, written.made);
    if (verdict.problem == JobProblem::None) {
        ++*next_;
        return;
    }
    result.problem = verdict.problem;
    result.problemSubject = FinalName(written);
    result.lengths = verdict.lengths;
    result.outputFault = verdict.fault;
    next_ = written_.size();
}

bool JobOutputs::Keep(JobResult& result, OutputBook& book, bool keepDates) {
    for (const Written& written : written_) {
        const LineOutput& output = written.output;
        if (!PathExists(output.path)) {
            continue;  // a line that did not write this one
        }
        const std::string final = FinalName(written);
        if (RenameOver(output.path, final)) {
            result.problem = JobProblem::OutputNotKept;
            result.problemSubject = final;
            return false;
        }
        if (std::find(result.outputs.begin(), result.outputs.end(), final) ==
            result.outputs.end()) {
            result.outputs.push_back(final);
        }
        book.Add(final);
        if (keepDates) {
            CopyModificationTime(result.path, final);  // a date that cannot be set is no fault
        }
    }
    return true;
}

void JobOutputs::Discard(const JobResult& result, OutputBook& book) const {
    for (const Written& written : written_) {
        RemoveFile(written.output.path);
    }
    // Outputs it did not make are free for the jobs after it.
    for (const std::string& output : result.outputs) {
        book.Remove(output);
    }
}

}  // namespace palomix
