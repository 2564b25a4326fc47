// The one place that turns a job into its plan: the command read from its settings file
// (once per pass, kept while the file is unchanged), the output folder (with the kept tree of
// a dropped folder), the output names (numbered when taken), each line prepared by the run
// policy or the reason it is not run, each prepared line read once into its program and
// arguments, and what the lines need of the local ffmpeg. The run plans a job this way when
// it begins it, the door's plans (palomix-batch --dry-run, the window's "Copy the command
// lines") and the question of what a command needs ask the same, so none of them can differ.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/ConverterFeatures.h"
#include "engine/EngineTypes.h"
#include "engine/OutputNames.h"
#include "engine/RunPolicy.h"
#include "platform/Drives.h"
#include "platform/ProgramResolution.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

// Finds the program a name names as the launcher would (empty: none); see NativeLauncher.
using ProgramFinder = std::function<std::string(const std::string& name)>;

// The choices a plan is made with, as they stand when it is made.
struct PlanChoices {
    std::string outputFolder;  // exactly as shown
    ExistingOutputs existing = ExistingOutputs::Overwrite;
    bool keepTree = false;
};

// A job's plan with what its outputs are called.
struct PlannedJob {
    JobPlan plan;
    std::string outputName;  // the name the outputs get (the BaseName, or a numbered one)
    // What ends the job before anything runs: Skipped (a file type the command does not take,
    // outputs that exist and are to be kept) or Failed (a file too large for the player, no
    // free name, something ffmpeg lacks); nullopt: the job runs. The problem is plan.problem.
    std::optional<JobOutcome> endsAhead;
};

class JobPlanner {
public:
    // Nothing is owned; everything must outlive the planner. `converter`: the ffmpeg whose
    // features the lines are checked against; nullptr for none.
    JobPlanner(const RunPolicy& policy, IniReader& reader, DeviceAccess& devices,
               ConverterFeatureReader* converter, ProgramFinder findProgram);

    // A new pass: the settings file, the programs, cores/ffmpeg and the output folders are
    // looked at afresh at their next use (the run begins one after every wait, a plan of the
    // whole list one for all of it). `listFolders`: the output folders are listed once for
    // the pass rather than asked file by file (a plan of many jobs).
    void BeginPass(bool listFolders = false);

    // The command as its settings file gives it; nullptr when the file cannot be read.
    const CommandDefinition* Command(const ChosenCommand& command);

    // The folder the job's outputs go to: the output folder, or with the kept tree the
    // subfolder the job lay in below a dropped folder.
    std::string OutputFolderFor(std::string_view subfolder, const PlanChoices& choices) const;

    // Plans a job with `command` as a run that has made the outputs in `book` would: no folder
    // is created and nothing is started. The outputs are not entered in the book (the book
    // only learns which numbers of the job's name are taken).
    PlannedJob PlanJob(std::string_view path, std::string_view subfolder,
                       const ChosenCommand& command, const PlanChoices& choices, OutputBook& book);

    // One template for a job when its turn comes in a run (devices may create a player's
    // media folder), read into its program and arguments.
    std::optional<PlannedLine> PlanLine(const CommandTemplate& commandTemplate,
                                        const JobInputs& job);

    // What the command's lines need of cores/ffmpeg that it lacks (see CommandCheck).
    CommandCheck Needs(const ChosenCommand& command, const std::string& outputFolder);

    // The drives, as the run's lines use them (a player's media folder may be created).
    DeviceAccess& Devices() { return devices_; }
    // What is known of cores/ffmpeg's features (Absent without one); a look may start reading.
    ConverterFeatureReader::State ConverterState();
    const RunPolicy& Policy() const { return policy_; }
    PathStyle Style() const { return policy_.Style(); }

private:
    struct CommandCache {
        ChosenCommand command;
        std::shared_ptr<const IniDocument> document;
        CommandDefinition definition;
    };
    // The program the line starts and its arguments, filled in from its command line, with
    // what a run needs of a converter line.
    void ReadProgram(PlannedLine& line);
    // The program alone, as the launcher finds it.
    void FindProgram(PlannedLine& line);
    std::vector<ConverterNeed> MissingOf(const std::vector<PlannedLine>& lines);

    const RunPolicy& policy_;
    IniReader& reader_;
    DeviceAccess& devices_;
    ConverterFeatureReader* converter_;
    ProgramFinder findProgram_;
    bool looked_ = false;  // the settings file was looked at in this pass
    std::optional<ConverterFeatureReader::State> converterState_;  // as looked at in this pass
    ExistingFiles files_{NativePathStyle(), false};
    std::optional<CommandCache> command_;
    std::unordered_map<std::string, std::string> programs_;  // found in this pass
    // The programs lines were found to start in this pass, each with the start of the line it
    // was decided by: a line that begins the same way starts the same program.
    struct KnownStart {
        std::string decidedBy;     // the start of the line the answer stands on
        std::size_t restAt = 0;    // where the arguments begin
        ResolvedProgram resolved;  // its `rest` is not kept
    };
    std::vector<KnownStart> starts_;
};

}  // namespace palomix
