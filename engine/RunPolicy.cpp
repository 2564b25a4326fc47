#include "engine/RunPolicy.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "engine/CommandLine.h"
#include "engine/DeviceOutput.h"
#include "platform/CommandLineSplit.h"
#include "platform/FileSystem.h"

namespace palomix {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// A folder's text made comparable: one separator between parts, none at the end (a root keeps
// its own), and letter case folded where the file system ignores it.
std::string FolderKey(std::string_view folder, PathStyle style) {
    std::string key;
    key.reserve(folder.size());
    for (std::size_t i = 0; i < folder.size(); ++i) {
        char c = folder[i];
        if (style == PathStyle::Windows) {
            c = c == '/' ? '\\' : Lower(c);
        }
        const bool separator = IsPathSeparator(c, style) && c != ':';
        // A doubled separator stands for one, except at the start of a network path.
        if (separator && !key.empty() && key.back() == c && i > 1) {
            continue;
        }
        key += c;
    }
    while (key.size() > 1 && IsPathSeparator(key.back(), style) && key.back() != ':' &&
           key[key.size() - 2] != ':') {
        key.pop_back();
    }
    return key;
}

// The files the line writes: its arguments that lie in a folder the placeholders put there and
// begin with the name put there.
std::vector<LineOutput> OutputsOf(const std::vector<std::string>& arguments,
                                  const PreparationNotes& notes, PathStyle style) {
    std::vector<LineOutput> outputs;
    if (notes.places.empty()) {
        return outputs;
    }
    // The folders compared as written first, and as keys only where the texts differ.
    std::vector<std::optional<std::string>> placeKeys(notes.places.size());
    for (const std::string& argument : arguments) {
        const std::string written = FolderOf(argument, style);
        std::optional<std::string> key;
        const auto sameFolder = [&](std::size_t p) {
            if (notes.places[p].folder == written) {
                return true;
            }
            if (!key) {
                key = FolderKey(written, style);
            }
            if (!placeKeys[p]) {
                placeKeys[p] = FolderKey(notes.places[p].folder, style);
            }
            return *placeKeys[p] == *key;
        };
        const std::string_view name = FileNameOf(argument, style);
        for (std::size_t p = 0; p < notes.places.size(); ++p) {
            const PreparationNotes::OutputPlace& place = notes.places[p];
            if (!place.name.empty() && name.starts_with(place.name) && sameFolder(p)) {
                outputs.push_back(
                    LineOutput{argument, std::string(name.substr(place.name.size())), place.drive});
                break;
            }
        }
    }
    return outputs;
}

}  // namespace

std::string LineOutput::Renamed(std::string_view name, PathStyle style) const {
    const std::string finalName = (drive.empty() ? std::string(name) : FatSafeName(name)) + rest;
    return JoinPath(FolderOf(path, style), finalName, style);
}

bool JobPlan::FailsAhead() const {
    return problem != JobProblem::None ||
           std::any_of(lines.begin(), lines.end(), [](const PlannedLine& l) { return !l.Runs(); });
}

bool JobPlan::SeenBefore(std::size_t l, const LineOutput* output) const {
    // A job has a handful of outputs: looked through rather than kept in a set.
    for (std::size_t before = 0; before <= l; ++before) {
        for (const LineOutput& earlier : lines[before].outputs) {
            if (&earlier == output) {
                return false;
            }
            if (earlier.path == output->path) {
                return true;
            }
        }
    }
    return false;
}

std::vector<LineOutput> JobPlan::Outputs() const {
    std::vector<LineOutput> outputs;
    EachOutput([&](const LineOutput& output) { outputs.push_back(output); });
    return outputs;
}

std::string FileTypeOf(std::string_view path, PathStyle style) {
    const std::string_view name = FileNameOf(path, style);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    std::string type(name.substr(dot + 1));
    std::transform(type.begin(), type.end(), type.begin(), Lower);
    return type;
}

std::optional<PlannedLine> RunPolicy::PlanLine(const CommandTemplate& commandTemplate,
                                               const JobInputs& job, DeviceAccess& devices,
                                               const CompiledTemplate* compiled) const {
    if (compiled == nullptr && IsSkippedTemplate(commandTemplate.text)) {
        return std::nullopt;  // (a compiled template is never one that is skipped)
    }
    PlannedLine planned;
    planned.templateNumber = commandTemplate.number;
    if (commandTemplate.cut) {
        // Never prepared: preparing it could create a player's folder for a line that is not run.
        planned.notRun = NotRun{NotRunReason::TooLong, {}, commandTemplate.text.size()};
        return planned;
    }
    PreparationNotes notes;
    const CommandValues values{job.inputPath, job.outputFolder, appFolder_, job.outputName};
    std::optional<LineReading> reading;
    std::optional<std::string> line =
        compiled != nullptr ? compiled->Prepare(values, &notes, &reading) : std::nullopt;
    if (!line) {
        line = PrepareCommandLine(commandTemplate.text, values, devices, style_, &notes);
    }
    if (!line) {
        return std::nullopt;
    }
    planned.commandLine = std::move(*line);
    if (!notes.missingPlayer.empty()) {
        planned.notRun = NotRun{NotRunReason::PlayerNotAttached, notes.missingPlayer, 0};
        return planned;
    }
    // The line read once into its program and arguments, as the launcher reads it (as its
    // template reads, where the job's values cannot change that).
    if (reading) {
        planned.program = std::move(reading->program);
        planned.arguments = std::move(reading->arguments);
    } else if (const std::vector<ProgramCandidate> candidates =
                   ProgramCandidates(planned.commandLine);
               !candidates.empty()) {
        planned.program = candidates.front().program;
        planned.arguments = SplitArguments(candidates.front().rest);
    }
    // The outputs are the arguments an output placeholder made (the input never is one, even
    // in the output folder under the same name); only a line whose values cannot be told
    // apart from its text is read argument by argument.
    planned.outputs = OutputsOf(notes.outputArguments ? *notes.outputArguments : planned.arguments,
                                notes, style_);
    return planned;
}

JobProblem RunPolicy::Admit(const CommandDefinition& command, const JobInputs& job,
                            std::string* subject) const {
    if (!command.extensions) {
        return JobProblem::None;
    }
    const std::string type = FileTypeOf(job.inputPath, style_);
    const auto& takes = *command.extensions;
    if (!type.empty() && std::find(takes.begin(), takes.end(), type) != takes.end()) {
        return JobProblem::None;
    }
    if (subject != nullptr) {
        *subject = type;
    }
    return JobProblem::NotConvertible;
}

JobPlan RunPolicy::PlanJob(const CommandDefinition* command, const std::string& settingsFile,
                           const JobInputs& job, DeviceAccess& devices) const {
    JobPlan plan;
    if (command == nullptr) {
        plan.problem = JobProblem::SettingsUnreadable;
        plan.problemSubject = settingsFile;
        return plan;
    }
    plan.problem = Admit(*command, job, &plan.problemSubject);
    if (plan.problem != JobProblem::None) {
        return plan;
    }
    for (std::size_t i = 0; i < command->templates.size(); ++i) {
        const CompiledTemplate* compiled =
            i < command->compiled.size() && command->compiled[i] ? &*command->compiled[i] : nullptr;
        if (std::optional<PlannedLine> line =
                PlanLine(command->templates[i], job, devices, compiled)) {
            plan.lines.push_back(std::move(*line));
        }
    }
    if (plan.lines.empty()) {
        plan.problem = JobProblem::NothingToRun;
        return plan;
    }
    return plan;
}

}  // namespace palomix
