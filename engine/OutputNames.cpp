#include "engine/OutputNames.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace palomix {

namespace {

// Numbers tried before the job gives up.
constexpr int kMostNumbers = 9999;

// Why a numbered name cannot be used by a job.
enum class Taken {
    No,
    ByRun,    // an output of this run has it: taken for every job after it
    ByInput,  // it is the job's own input: taken for this job only
};

}  // namespace

std::string NumberedName(std::string_view baseName, int number) {
    std::string name(baseName);
    if (number > 1) {
        name += " (" + std::to_string(number) + ")";
    }
    return name;
}

std::string PartName(std::string_view name) {
    return std::string(name) + std::string(kPartSuffix);
}

std::string OutputBook::Key(std::string_view path) const {
    std::string key(path);
    if (style_ == PathStyle::Windows) {
        std::transform(key.begin(), key.end(), key.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c == '/' ? '\\' : c;
        });
    }
    return key;
}

void OutputBook::Add(const std::string& path) {
    paths_.insert(Key(path));
}

void OutputBook::Remove(const std::string& path) {
    paths_.erase(Key(path));
    // A name is free again: a family's next number may be below what was noted.
    next_.clear();
}

bool OutputBook::Contains(const std::string& path) const {
    return paths_.count(Key(path)) > 0;
}

void OutputBook::Clear() {
    paths_.clear();
    next_.clear();
}

int OutputBook::FirstNumber(const std::string& family) const {
    const auto found = next_.find(family);
    return found == next_.end() ? 1 : found->second;
}

void OutputBook::TakenBelow(const std::string& family, int number) {
    if (number > 1) {
        next_[family] = number;
    }
}

std::string ExistingFiles::Key(std::string_view name) const {
    std::string key(name);
    if (style_ == PathStyle::Windows) {
        std::transform(key.begin(), key.end(), key.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
    }
    return key;
}

bool ExistingFiles::Exists(const std::string& path) {
    if (!listFolders_) {
        return PathExists(path);
    }
    const std::string folder = FolderOf(path, style_);
    auto [found, added] = folders_.try_emplace(folder);
    if (added) {
        FolderListing listing;
        if (listing.Read(folder)) {
            for (std::size_t i = 0; i < listing.Count(); ++i) {
                found->second.insert(Key(listing.Name(i)));
            }
        }
    }
    return found->second.contains(Key(FileNameOf(path, style_)));
}

OutputChoice ChooseOutputName(const std::function<JobPlan(const std::string& name)>& plan,
                              const std::string& inputPath, ExistingOutputs existing,
                              OutputBook& book, const std::string& family, ExistingFiles& files) {
    const PathStyle style = book.Style();
    const std::string baseName = BaseNameOf(inputPath, style);
    const int first = book.FirstNumber(family);
    // Every number below it is taken for every job of the family, not only for this one.
    int takenBelow = first;
    for (int number = first; number <= kMostNumbers; ++number) {
        OutputChoice choice;
        choice.name = NumberedName(baseName, number);
        choice.plan = plan(choice.name);
        if (choice.plan.problem != JobProblem::None) {
            choice.problem = choice.plan.problem;
            choice.problemSubject = choice.plan.problemSubject;
            return choice;
        }
        Taken taken = Taken::No;
        std::string existingPath;
        for (const LineOutput& output : choice.plan.Outputs()) {
            if (book.Contains(output.path)) {
                taken = Taken::ByRun;
                break;
            }
            // Only a file that is there can be the input itself.
            const bool exists = files.Exists(output.path);
            const std::string temporary = output.Renamed(PartName(choice.name), style);
            if ((exists && SameFile(output.path, inputPath)) ||
                (files.Exists(temporary) && SameFile(temporary, inputPath))) {
                if (existing == ExistingOutputs::Skip) {
                    existingPath = output.path;  // the input itself: skipped as existing
                    break;
                }
                taken = Taken::ByInput;
                break;
            }
            if (existingPath.empty() && exists) {
                existingPath = output.path;
            }
        }
        if (taken == Taken::No && !existingPath.empty()) {
            if (existing == ExistingOutputs::Skip) {
                choice.problem = JobProblem::OutputExists;
                choice.problemSubject = existingPath;
                return choice;
            }
            if (existing == ExistingOutputs::KeepBoth) {
                taken = Taken::ByRun;  // a file from before the run: there for every job
            }
        }
        if (taken == Taken::No) {
            book.TakenBelow(family, takenBelow);
            return choice;
        }
        if (taken == Taken::ByRun && takenBelow == number) {
            takenBelow = number + 1;
        }
    }
    OutputChoice none;
    none.problem = JobProblem::NoFreeName;
    return none;
}

}  // namespace palomix
