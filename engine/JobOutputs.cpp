#include "engine/JobOutputs.h"

#include <algorithm>
#include <random>
#include <utility>

#include "platform/Drives.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"

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

// Six characters drawn at random: letters and digits that every file system keeps apart.
std::string RandomPart() {
    static constexpr std::string_view kCharacters = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, kCharacters.size() - 1);
    std::string part;
    for (int i = 0; i < 6; ++i) {
        part += kCharacters[pick(random)];
    }
    return part;
}

}  // namespace

JobOutputs::JobOutputs(std::string outputName, PathStyle style, TemporaryPlace place)
    : outputName_(std::move(outputName)),
      temporaryName_(outputName_.empty()
                         ? std::string()
                         : std::string(kPartPrefix) + RandomPart() + "-" + outputName_),
      style_(style),
      place_(place) {}

void MadeFile::RemoveIfStillMade() const {
    if (FileIdentityOf(path) == identity) {
        RemoveFile(path);
    }
}

std::vector<MadeFile> JobOutputs::Temporaries() const {
    std::vector<MadeFile> made;
    for (const Written& written : written_) {
        made.push_back(MadeFile{written.output.path, written.identity});
    }
    return made;
}

std::optional<std::string> JobOutputs::LineStarts(const PlannedLine& line) {
    const LengthLimit limit = LengthLimitOfArguments(line.arguments);
    for (const LineOutput& output : line.outputs) {
        auto known = std::find_if(written_.begin(), written_.end(),
                                  [&](const Written& w) { return w.output.path == output.path; });
        if (known == written_.end()) {
            const std::error_code made = place_.maker != nullptr
                                             ? place_.maker->MakeNewFile(output.path)
                                             : CreateNewFile(output.path);
            if (made) {
                return output.Renamed(outputName_, style_);
            }
            if (place_.ledger != nullptr) {
                place_.ledger->NoteTemporary(output.path);
            }
            known = written_.insert(
                known, Written{output, FileIdentityOf(output.path), false, {}, {}, {}});
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
    return std::nullopt;
}

void JobOutputs::Forget(const std::string& path) {
    if (place_.ledger != nullptr) {
        place_.ledger->ForgetTemporary(path);
    }
}

bool JobOutputs::StillOurs(const Written& written) {
    return FileIdentityOf(written.output.path) == written.identity;
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
    const auto fail = [&](const std::string& final) {
        result.problem = JobProblem::OutputNotKept;
        result.problemSubject = final;
        return false;
    };
    // The outputs to put in place: a temporary no line wrote into is still empty and goes.
    std::vector<const Written*> made;
    for (const Written& written : written_) {
        if (!PathExists(written.output.path)) {
            continue;
        }
        if (!StillOurs(written)) {
            // Someone put another file at the name while the job ran: it is not this job's to
            // rename or remove.
            return fail(FinalName(written));
        }
        if (FileSizeOf(written.output.path).value_or(0) == 0) {
            RemoveFile(written.output.path);
            Forget(written.output.path);
            continue;
        }
        made.push_back(&written);
    }
    // What stood at each final name, set aside under a name of the same kind as a temporary's;
    // and the outputs put in place so far. On any failure both are undone, so that a job keeps
    // all its outputs or none, and the files from before stay as they were.
    std::vector<std::pair<std::string, std::string>> asides;
    std::vector<std::pair<std::string, std::string>> placed;
    const auto undo = [&](const std::string& final) {
        for (const auto& [temporary, placedFinal] : placed) {
            RenameOver(placedFinal, temporary);  // back where it was made, removed with the rest
        }
        for (const auto& [setAside, aside] : asides) {
            RenameOver(aside, setAside);
        }
        return fail(final);
    };
    const std::string asidePrefix = std::string(kPartPrefix) + RandomPart() + "-old-";
    for (const Written* written : made) {
        const std::string final = FinalName(*written);
        if (!PathExists(final) || IsFolder(final)) {
            continue;  // nothing to set aside (a folder fails the renaming below)
        }
        const std::string aside = JoinPath(
            FolderOf(final, style_), asidePrefix + std::string(FileNameOf(final, style_)), style_);
        if (RenameOver(final, aside)) {
            return undo(final);
        }
        asides.emplace_back(final, aside);
    }
    for (const Written* written : made) {
        const std::string final = FinalName(*written);
        if (RenameOver(written->output.path, final)) {
            return undo(final);
        }
        placed.emplace_back(written->output.path, final);
    }
    for (const auto& [setAside, aside] : asides) {
        RemoveFile(aside);
    }
    for (const auto& [temporary, final] : placed) {
        Forget(temporary);
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

void JobOutputs::Discard(const JobResult& result, OutputBook& book) {
    for (const Written& written : written_) {
        MadeFile{written.output.path, written.identity}.RemoveIfStillMade();
        Forget(written.output.path);
    }
    written_.clear();
    // Outputs it did not make are free for the jobs after it.
    for (const std::string& output : result.outputs) {
        book.Remove(output);
    }
}

}  // namespace palomix
