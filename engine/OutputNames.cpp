#include "engine/OutputNames.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace palomix {

namespace {

// Numbers tried before the job gives up.
constexpr int kMostNumbers = 9999;

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

std::string RunOutputs::Key(const std::string& path) const {
    if (style_ != PathStyle::Windows) {
        return path;
    }
    std::string key = path;
    std::transform(key.begin(), key.end(), key.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c == '/' ? '\\' : c;
    });
    return key;
}

void RunOutputs::Add(const std::string& path) {
    paths_.insert(Key(path));
}

void RunOutputs::Remove(const std::string& path) {
    paths_.erase(Key(path));
}

bool RunOutputs::Contains(const std::string& path) const {
    return paths_.count(Key(path)) > 0;
}

OutputChoice ChooseOutputName(const std::function<JobPlan(const std::string& name)>& plan,
                              const std::string& inputPath, ExistingOutputs existing,
                              const RunOutputs& run, PathStyle style) {
    const std::string baseName = BaseNameOf(inputPath, style);
    for (int number = 1; number <= kMostNumbers; ++number) {
        OutputChoice choice;
        choice.name = NumberedName(baseName, number);
        choice.plan = plan(choice.name);
        if (choice.plan.problem != JobProblem::None) {
            choice.problem = choice.plan.problem;
            choice.problemSubject = choice.plan.problemSubject;
            return choice;
        }
        bool taken = false;
        std::string existingPath;
        for (const LineOutput& output : choice.plan.Outputs()) {
            const std::string temporary = output.Renamed(PartName(choice.name), style);
            if (run.Contains(output.path) || SameFile(output.path, inputPath) ||
                SameFile(temporary, inputPath)) {
                taken = true;
                if (existing == ExistingOutputs::Skip && !run.Contains(output.path)) {
                    existingPath = output.path;  // the input itself: skipped as existing
                    taken = false;
                }
                break;
            }
            if (existingPath.empty() && PathExists(output.path)) {
                existingPath = output.path;
            }
        }
        if (taken) {
            continue;
        }
        if (!existingPath.empty()) {
            if (existing == ExistingOutputs::Skip) {
                choice.problem = JobProblem::OutputExists;
                choice.problemSubject = existingPath;
                return choice;
            }
            if (existing == ExistingOutputs::KeepBoth) {
                continue;
            }
        }
        return choice;
    }
    OutputChoice none;
    none.problem = JobProblem::NoFreeName;
    return none;
}

}  // namespace palomix
