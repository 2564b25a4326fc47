// The names of a job's outputs. Outputs made earlier in the same run are never overwritten:
// a job whose output names are taken gets "NAME (2)", "NAME (3)", ... for all of its lines. A
// job never writes onto its own input. Files from before the run follow the user's choice for
// existing outputs. And while a job runs, its outputs are written under a temporary name in the
// same folder ("NAME.palomix-part_720p.mp4": the extension stays last, so the converter still
// picks the format from it), which the run puts under the final name only when the job has
// succeeded, so a half-written file never stands under a final name.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/JobResult.h"
#include "engine/RunPolicy.h"
#include "platform/PathRules.h"

namespace palomix {

// What happens when an output file exists from before the run.
enum class ExistingOutputs {
    Overwrite,  // the finished output replaces it
    KeepBoth,   // the new output gets a numbered name
    Skip,       // the job is skipped
};

inline constexpr std::string_view kPartSuffix = ".palomix-part";

// "NAME" for 1, "NAME (2)" for 2, ...
std::string NumberedName(std::string_view baseName, int number);

// The temporary form of an output name: "NAME.palomix-part".
std::string PartName(std::string_view name);

// The outputs a run has made or is making, compared as the file system compares names.
class RunOutputs {
public:
    explicit RunOutputs(PathStyle style) : style_(style) {}
    void Add(const std::string& path);
    void Remove(const std::string& path);
    bool Contains(const std::string& path) const;
    void Clear() { paths_.clear(); }

private:
    std::string Key(const std::string& path) const;

    PathStyle style_;
    std::unordered_set<std::string> paths_;
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
// unless `existing` allows it.
OutputChoice ChooseOutputName(const std::function<JobPlan(const std::string& name)>& plan,
                              const std::string& inputPath, ExistingOutputs existing,
                              const RunOutputs& run, PathStyle style);

}  // namespace palomix
