// The run policy: the one place that decides, for a job, which command lines of the chosen
// command are started and what each one becomes. The batch run asks it for every line when
// that line's turn comes, and a plan (palomix-batch --dry-run, "Copy the command lines")
// asks it for all lines at once, so what is shown can never differ from what runs.
//
// For a job:
// - a command that lists the file types it takes (Extensions=) skips a file of another type;
// - a job whose settings file cannot be read, or whose command has no line to run at all,
//   cannot convert.
// For each command template of the command, in number order:
// - an empty template or a tool line is passed over without a word;
// - a template that the settings file holds longer than the reading rules keep is not run
//   (it would run cut);
// - a line whose player placeholder found no attached player is not run (it would write a
//   file with no folder into the current folder);
// - every other line is prepared and started.
//
// The outputs of a line are the arguments that lie in a folder a placeholder put there (the
// output folder, a player's media folder) and whose file name begins with the output name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/CommandLine.h"
#include "engine/EngineTypes.h"
#include "platform/Drives.h"
#include "platform/PathRules.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

// The values a job's lines are prepared with.
struct JobInputs {
    std::string inputPath;     // the job's full path
    std::string outputFolder;  // the output folder as chosen, exactly as shown
    std::string outputName;    // the name the outputs get; empty: the job's BaseName
};

// The command as the settings file gives it: its lines and the file types it takes, and each
// line prepared once for every job where it can be.
struct CommandDefinition {
    std::vector<CommandTemplate> templates;
    std::optional<std::vector<std::string>> extensions;     // nullopt: any file
    std::vector<std::optional<CompiledTemplate>> compiled;  // by template; empty: none
};

// A file's type as a command's Extensions= list names it: its last extension, lower case,
// without the dot ("MP4" gives "mp4"); empty for a name without one.
std::string FileTypeOf(std::string_view path, PathStyle style);

// The drives of another access, but no folder is ever created: planning the player
// placeholders leaves every drive as it was.
class PlanningDeviceAccess final : public DeviceAccess {
public:
    explicit PlanningDeviceAccess(DeviceAccess& inner) : inner_(inner) {}
    std::vector<std::string> ListDrives() override { return inner_.ListDrives(); }
    bool IsFolder(const std::string& path) override { return inner_.IsFolder(path); }
    bool CreateFolders(const std::string& /*path*/) override { return true; }
    std::error_code MakeFolders(const std::string& /*path*/) override { return {}; }
    bool IsFat(const std::string& drive) override { return inner_.IsFat(drive); }
    std::error_code MakeNewFile(const std::string& /*path*/) override { return {}; }

private:
    DeviceAccess& inner_;
};

class RunPolicy {
public:
    // `appFolder`: the program's folder (no trailing separator except at a root).
    RunPolicy(std::string appFolder, PathStyle style)
        : appFolder_(std::move(appFolder)), style_(style) {}

    // One template for a job. nullopt when the template is passed over without a word (empty,
    // or a tool line). Device placeholders look at the drives through `devices`, which may
    // create a player's media folder.
    // `compiled`: the template prepared once for every job (engine/CommandLine.h), when it can
    // be; the line comes out the same either way.
    std::optional<PlannedLine> PlanLine(const CommandTemplate& commandTemplate,
                                        const JobInputs& job, DeviceAccess& devices,
                                        const CompiledTemplate* compiled = nullptr) const;

    // The problem that keeps a job from starting before any line is looked at: a file type the
    // command does not take. None otherwise.
    JobProblem Admit(const CommandDefinition& command, const JobInputs& job,
                     std::string* subject = nullptr) const;

    // Every template of the command for a job, from one read of its settings file (nullptr:
    // the file could not be read).
    JobPlan PlanJob(const CommandDefinition* command, const std::string& settingsFile,
                    const JobInputs& job, DeviceAccess& devices) const;

    const std::string& AppFolder() const { return appFolder_; }
    PathStyle Style() const { return style_; }

private:
    std::string appFolder_;
    PathStyle style_;
};

}  // namespace palomix
