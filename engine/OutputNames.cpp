#include "engine/OutputNames.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "controllogic/CaseFold.h"
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

// Whether a plan's outputs are taken, and the first of them that exists (the input itself
// when the job skips existing outputs).
std::pair<Taken, std::string> TakenFor(const JobPlan& plan, const std::string& inputPath,
                                       ExistingOutputs existing, const OutputBook& book,
                                       ExistingFiles& files) {
    Taken taken = Taken::No;
    std::string existingPath;
    bool decided = false;  // the outputs after the one that decided are not looked at
    plan.EachOutput([&](const LineOutput& output) {
        if (decided) {
            return;
        }
        if (book.Contains(output.path)) {
            taken = Taken::ByRun;
            decided = true;
            return;
        }
        // Only a file that is there can be the input itself.
        const bool exists = files.Exists(output.path);
        if (exists && SameFile(output.path, inputPath)) {
            if (existing == ExistingOutputs::Skip) {
                existingPath = output.path;  // the input itself: skipped as existing
            } else {
                taken = Taken::ByInput;
            }
            decided = true;
            return;
        }
        if (existingPath.empty() && exists) {
            existingPath = output.path;
        }
    });
    return {taken, std::move(existingPath)};
}

// What the book learns of a family from a job's name: the numbers below `takenBelow` are
// taken, and the first output of the job's plan (not one on a player, whose name the drives
// give as they stand for each job).
void NoteChoice(OutputBook& book, const std::string& family, int takenBelow, const JobPlan& plan) {
    const LineOutput* first = nullptr;
    plan.EachOutput([&](const LineOutput& output) { first = first == nullptr ? &output : first; });
    book.Note(family, takenBelow, first != nullptr && first->drive.empty() ? first : nullptr);
}

// True when the family's first output, renamed to `name`, is taken by the run.
bool FirstOutputTaken(const OutputBook::Family* family, const std::string& name,
                      const OutputBook& book) {
    return family != nullptr && family->firstOutput &&
           book.Contains(family->firstOutput->Renamed(name, book.Style()));
}

}  // namespace

std::string NumberedName(std::string_view baseName, int number) {
    std::string name(baseName);
    if (number > 1) {
        name += " (" + std::to_string(number) + ")";
    }
    return name;
}

// The names of one folder, folded, packed one after the other in one text, and found through
// an open-addressed table of their places in it (0: empty, 1: given up).
class OutputBook::Names {
public:
    bool Contains(std::string_view name) const { return Find(name, Hash(name)) != kNone; }

    void Add(std::string_view name) {
        const std::size_t hash = Hash(name);
        if (Find(name, hash) != kNone) {
            return;
        }
        if ((used_ + 1) * 2 > slots_.size()) {
            Grow();
        }
        const auto at = static_cast<std::uint32_t>(text_.size());
        text_.append(name).push_back('\0');
        Place(at + 2, hash);
        ++used_;
    }

    void Remove(std::string_view name) {
        const std::size_t slot = Find(name, Hash(name));
        if (slot != kNone) {
            slots_[slot] = kGivenUp;  // its bytes stay; rare enough not to matter
        }
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    static constexpr std::uint32_t kEmpty = 0;
    static constexpr std::uint32_t kGivenUp = 1;

    static std::size_t Hash(std::string_view name) { return std::hash<std::string_view>{}(name); }

    std::string_view At(std::uint32_t slot) const {
        return std::string_view(text_.c_str() + (slot - 2));
    }

    std::size_t Find(std::string_view name, std::size_t hash) const {
        if (slots_.empty()) {
            return kNone;
        }
        for (std::size_t i = hash & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            const std::uint32_t slot = slots_[i];
            if (slot == kEmpty) {
                return kNone;
            }
            if (slot != kGivenUp && At(slot) == name) {
                return i;
            }
        }
    }

    void Place(std::uint32_t slot, std::size_t hash) {
        std::size_t i = hash & (slots_.size() - 1);
        while (slots_[i] != kEmpty) {
            i = (i + 1) & (slots_.size() - 1);
        }
        slots_[i] = slot;
    }

    void Grow() {
        std::vector<std::uint32_t> old = std::move(slots_);
        slots_.assign(std::max<std::size_t>(16, old.size() * 2), kEmpty);
        for (const std::uint32_t slot : old) {
            if (slot != kEmpty && slot != kGivenUp) {
                Place(slot, Hash(At(slot)));
            }
        }
    }

    std::string text_;
    std::vector<std::uint32_t> slots_;
    std::size_t used_ = 0;
};

OutputBook::OutputBook(PathStyle style) : style_(style) {}
OutputBook::~OutputBook() = default;

void OutputBook::Split(std::string_view path, std::string& folder, std::string& name) const {
    std::size_t cut = path.size();
    while (cut > 0 && !IsPathSeparator(path[cut - 1], style_)) {
        --cut;
    }
    FoldCase(path.substr(0, cut), folder);
    if (style_ == PathStyle::Windows) {
        std::replace(folder.begin(), folder.end(), '/', '\\');
    }
    FoldCase(path.substr(cut), name);
}

OutputBook::Names* OutputBook::NamesOf(std::string_view path) const {
    std::size_t cut = path.size();
    while (cut > 0 && !IsPathSeparator(path[cut - 1], style_)) {
        --cut;
    }
    const std::string_view folder = path.substr(0, cut);
    if (!lastFolder_ || *lastFolder_ != folder) {
        Split(path, folder_, name_);
        const auto found = folders_.find(folder_);
        lastFolder_ = std::string(folder);
        lastNames_ = found != folders_.end() ? found->second.get() : nullptr;
        return lastNames_;
    }
    FoldCase(path.substr(cut), name_);
    return lastNames_;
}

void OutputBook::Add(std::string_view path) {
    Names* names = NamesOf(path);
    if (names == nullptr) {
        std::unique_ptr<Names>& made = folders_[folder_];
        made = std::make_unique<Names>();
        names = lastNames_ = made.get();
    }
    names->Add(name_);
}

void OutputBook::Remove(std::string_view path) {
    lastFolder_.reset();
    Split(path, folder_, name_);
    if (const auto found = folders_.find(folder_); found != folders_.end()) {
        found->second->Remove(name_);
    }
    // A name is free again: a family's next number may be below what was noted.
    families_.clear();
}

bool OutputBook::Contains(std::string_view path) const {
    const Names* names = NamesOf(path);
    return names != nullptr && names->Contains(name_);
}

void OutputBook::Clear() {
    lastFolder_.reset();
    folders_.clear();
    families_.clear();
}

const OutputBook::Family* OutputBook::FamilyOf(const std::string& family) const {
    const auto found = families_.find(family);
    return found == families_.end() ? nullptr : &found->second;
}

void OutputBook::Note(const std::string& family, int takenBelow, const LineOutput* firstOutput) {
    Family& noted = families_[family];
    noted.next = std::max(takenBelow, 1);
    if (firstOutput != nullptr) {
        noted.firstOutput = *firstOutput;
    } else {
        noted.firstOutput.reset();
    }
}

bool ExistingFiles::Exists(const std::string& path) {
    if (!listFolders_) {
        return PathExists(path);
    }
    const std::string_view name = FileNameOf(path, style_);
    const std::string_view written = std::string_view(path).substr(0, path.size() - name.size());
    if (!lastFolder_ || *lastFolder_ != written) {
        const std::string folder = FolderOf(path, style_);
        auto [found, added] = folders_.try_emplace(folder);
        if (added) {
            FolderListing listing;
            if (listing.Read(folder)) {
                for (std::size_t i = 0; i < listing.Count(); ++i) {
                    FoldCase(listing.Name(i), key_);
                    found->second.insert(key_);
                }
            }
        }
        lastFolder_ = std::string(written);
        lastNames_ = &found->second;
    }
    // Names are kept folded; one that matches is asked of the file system, which knows
    // whether its letter case counts.
    FoldCase(name, key_);
    return lastNames_->contains(key_) && PathExists(path);
}

OutputChoice ChooseOutputName(const std::function<JobPlan(const std::string& name)>& plan,
                              const std::string& inputPath, ExistingOutputs existing,
                              OutputBook& book, const std::function<std::string()>& familyOf,
                              ExistingFiles& files) {
    const PathStyle style = book.Style();
    const std::string baseName = BaseNameOf(inputPath, style);
    // Named only where numbering has begun: most names are taken by no one.
    std::optional<std::string> family;
    if (book.Numbered()) {
        family = familyOf();
    }
    const OutputBook::Family* known = family ? book.FamilyOf(*family) : nullptr;
    const int first = known != nullptr ? known->next : 1;
    // Every number below it is taken for every job of the family, not only for this one.
    int takenBelow = first;
    for (int number = first; number <= kMostNumbers; ++number) {
        OutputChoice choice;
        choice.name = NumberedName(baseName, number);
        // The plan's first output is the one looked at first: taken by the run, it passes the
        // number by as the plan would (the plan's problems do not depend on its name).
        if (FirstOutputTaken(known, choice.name, book)) {
            takenBelow = takenBelow == number ? number + 1 : takenBelow;
            continue;
        }
        choice.plan = plan(choice.name);
        if (choice.plan.problem != JobProblem::None) {
            choice.problem = choice.plan.problem;
            choice.problemSubject = choice.plan.problemSubject;
            return choice;
        }
        auto [taken, existingPath] = TakenFor(choice.plan, inputPath, existing, book, files);
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
            // Only families that were numbered are kept (most names are taken by no one).
            if (takenBelow > 1 || known != nullptr) {
                NoteChoice(book, family ? *family : familyOf(), takenBelow, choice.plan);
            }
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
