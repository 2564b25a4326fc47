// The names of a job's outputs. Outputs made earlier in the same run are never overwritten:
// a job whose output names are taken gets "NAME (2)", "NAME (3)", ... for all of its lines. A
// job never writes onto its own input. Files from before the run follow the user's choice for
// existing outputs. And while a job runs, its outputs are written under a temporary name in the
// same folder (engine/JobOutputs.h), which the run puts under the final name only when the job
// has succeeded, so a half-written file never stands under a final name.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/EngineTypes.h"
#include "platform/PathRules.h"

namespace palomix {

// What every temporary file of a run begins with (engine/JobOutputs.h).
inline constexpr std::string_view kPartPrefix = ".palomix-";

// "NAME" for 1, "NAME (2)" for 2, ...
std::string NumberedName(std::string_view baseName, int number);

// The outputs a run has made or is making, and for each name that had to be numbered the
// number to try next, so that a thousand files of the same name cost no more to name than a
// thousand of different names. Names that differ only in letter case are the same name, as a
// FAT card or a Windows folder takes them. Each folder's names are kept once, packed, so that
// a run of a million files keeps a few dozen bytes a file.
class OutputBook {
public:
    explicit OutputBook(PathStyle style);
    ~OutputBook();
    OutputBook(const OutputBook&) = delete;
    OutputBook& operator=(const OutputBook&) = delete;

    void Add(std::string_view path);
    // An output given up (its job failed): its name is free again.
    void Remove(std::string_view path);
    bool Contains(std::string_view path) const;
    void Clear();

    // What is known of a family of names once one of its jobs had to be numbered: the first
    // number worth trying (every number below it is taken), and the first output of the
    // family's job named last. Jobs of a family differ only in their names' numbers, so
    // another number's first output is that one renamed: a number whose first output is taken
    // is passed by without planning the job. nullptr: none of the family was numbered.
    struct Family {
        int next = 1;
        std::optional<LineOutput> firstOutput;
    };
    const Family* FamilyOf(const std::string& family) const;
    void Note(const std::string& family, int takenBelow, const LineOutput* firstOutput);
    // Whether any name was numbered (before that no family needs naming).
    bool Numbered() const { return !families_.empty(); }

    PathStyle Style() const { return style_; }

private:
    class Names;
    // The folder part and the name part of a path, folded.
    void Split(std::string_view path, std::string& folder, std::string& name) const;
    // The names of the folder `path` lies in (nullptr: none yet), with its name part folded
    // into name_. The folder asked last is known by its text: a plan asks one folder job after
    // job, and is not folded and looked up again each time.
    Names* NamesOf(std::string_view path) const;

    PathStyle style_;
    std::unordered_map<std::string, std::unique_ptr<Names>> folders_;
    std::unordered_map<std::string, Family> families_;  // those numbered so far
    mutable std::string folder_;                        // reused for each look-up
    mutable std::string name_;
    mutable std::optional<std::string> lastFolder_;  // as written; folder_ holds it folded
    mutable Names* lastNames_ = nullptr;
};

// Whether a file stands at a path: the file system asked each time (a run, where folders
// change between jobs), or each folder listed once and its names kept (a plan of many jobs,
// where a look-up per output would cost as much as the plan itself).
class ExistingFiles {
public:
    ExistingFiles(PathStyle style, bool listFolders) : style_(style), listFolders_(listFolders) {}
    // Moved, never copied: the folder asked last is known by where its names lie.
    ExistingFiles(ExistingFiles&&) noexcept = default;
    ExistingFiles& operator=(ExistingFiles&&) noexcept = default;
    ExistingFiles(const ExistingFiles&) = delete;
    ExistingFiles& operator=(const ExistingFiles&) = delete;
    bool Exists(const std::string& path);

private:
    PathStyle style_;
    bool listFolders_;
    std::unordered_map<std::string, std::unordered_set<std::string>> folders_;  // names, folded
    std::string key_;  // reused for each look-up
    // The folder asked last, as written, and its names.
    std::optional<std::string> lastFolder_;
    const std::unordered_set<std::string>* lastNames_ = nullptr;
};

struct OutputChoice {
    std::string name;  // the output name to use
    JobPlan plan;      // the job's plan with that name
    // Set when the job cannot go on: its plan's problem, OutputExists (skip), NoFreeName.
    JobProblem problem = JobProblem::None;
    std::string problemSubject;
};

// Tries the job's BaseName, then numbered names, planning the job with each (`plan`) until its
// outputs are free: not made or being made in this run, not the input itself, and not existing
// unless `existing` allows it. `family` names the job's output names in the book (the same for
// jobs whose plans differ only by their BaseName's numbers); it is asked only when names are
// being numbered.
OutputChoice ChooseOutputName(const std::function<JobPlan(const std::string& name)>& plan,
                              const std::string& inputPath, ExistingOutputs existing,
                              OutputBook& book, const std::function<std::string()>& family,
                              ExistingFiles& files);

}  // namespace palomix
