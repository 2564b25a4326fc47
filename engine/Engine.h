// The core's one door. An Engine owns everything a conversion needs: the job list and the
// intake of dropped paths, access to the conversion settings (the catalogue, or a command fixed
// by the caller), the process launcher, the drives, the run policy and the batch run. Both front
// ends (the window and palomix-batch) use it through the verbs below and learn what happens
// through one EngineObserver; they choose the words and the language, the core builds no
// sentence.
//
// Threads: everything runs on the host's thread. The launcher learns of a process's end on a
// thread of its own and hands it to the host through the PostToHost function the Engine was
// made with; the host runs that task on its thread, and the run goes on there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/BatchRun.h"
#include "engine/ConverterFeatures.h"
#include "engine/DropIntake.h"
#include "engine/EngineObserver.h"
#include "engine/JobQueue.h"
#include "engine/RunPolicy.h"
#include "platform/Drives.h"
#include "platform/PathRules.h"
#include "platform/ProcessLauncher.h"
#include "settings/IniFile.h"
#include "settings/QueueFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

// What the Engine takes from the outside world. Every field left empty gets the real thing,
// so tests can hand in fakes.
struct EngineSetup {
    // The program folder: it holds convert_settings and cores, and is AppFolder in command
    // lines. Required.
    std::string programFolder;
    PathStyle style = NativePathStyle();
    std::shared_ptr<IniReader> reader;      // a new reader
    std::unique_ptr<DeviceAccess> devices;  // SystemDeviceAccess()
    std::function<std::unique_ptr<ProcessLauncher>(PostToHost)> makeLauncher;  // the system's
    // The program that tells an input's length and checks a done job's outputs; empty:
    // cores/ffprobe of the program folder when it is there. Without one, progress has no
    // percentages and outputs are not checked.
    std::string probeProgram;
};

// What a command needs of cores/ffmpeg that it does not offer (see CommandNeeds).
struct CommandCheck {
    enum class State {
        NotChecked,  // there is no cores/ffmpeg, or its lists cannot be read: nothing is known
        Reading,     // its lists are being read: EngineObserver::ConverterChecked follows
        Checked,     // `missing` holds what the command needs and it lacks (maybe nothing)
    };
    State state = State::NotChecked;
    std::vector<ConverterNeed> missing;
};

class Engine {
public:
    // `post` hands a task to the host's thread (see above).
    Engine(EngineSetup setup, PostToHost post);
    // Terminates the commands still running; see SystemProcessLauncher for what happens to them.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Not owned; nullptr for none. Remove it before it dies.
    void SetObserver(EngineObserver* observer);

    // --- What to convert with -------------------------------------------------------------
    // The settings files and the two selections of the window.
    SettingsCatalogue& Catalogue() { return catalogue_; }
    const SettingsCatalogue& Catalogue() const { return catalogue_; }
    // A command fixed by the caller (palomix-batch), used instead of the catalogue's selection;
    // nullopt goes back to the selection.
    void UseCommand(std::optional<ChosenCommand> command) { fixedCommand_ = std::move(command); }
    // The command the run reads now: the fixed one, else the catalogue's selection.
    std::optional<ChosenCommand> CurrentCommand() const;
    // The encoders and output formats that the command's cores/ffmpeg lines name and that
    // ffmpeg lacks; a run fails such a command's jobs unstarted. Never waits: the first call
    // (and the first after cores/ffmpeg changed) starts reading ffmpeg's lists and answers
    // Reading, and ConverterChecked tells when to ask again. The lists are kept for as long as
    // the file keeps its size and time.
    CommandCheck CommandNeeds(const ChosenCommand& command);
    // The output folder, exactly as shown; read by the run at the start of every job.
    void SetOutputFolder(std::string folder) { outputFolder_ = std::move(folder); }
    const std::string& OutputFolder() const { return outputFolder_; }
    // What happens to an output file that exists from before the run (Overwrite by default);
    // read at the start of every job.
    void SetExistingOutputs(ExistingOutputs existing) { existingOutputs_ = existing; }
    ExistingOutputs ExistingOutputsChoice() const { return existingOutputs_; }
    // A file found inside a dropped folder is converted into the same subfolder of the output
    // folder (off by default); player outputs are not affected.
    void SetKeepTree(bool on) { keepTree_ = on; }
    bool KeepTree() const { return keepTree_; }
    // Each output gets the modification time of its source (off by default).
    void SetKeepDates(bool on) { keepDates_ = on; }
    bool KeepDates() const { return keepDates_; }

    // --- The job list -----------------------------------------------------------------------
    // Dropped paths become jobs at the end of the list, in order (see DropIntake). Does not
    // start a run.
    IntakeResult AddPaths(std::span<const std::string> paths);
    // Files put into the list as they are, without looking them up or searching folders (a
    // queue saved earlier, say).
    void AddFiles(std::span<const std::string> paths) { jobs_.AddJobs(paths); }
    // A file with the subfolder it lay in below a dropped folder (see JobQueue::AddJob).
    void AddFile(std::string path, std::string_view subfolder) {
        jobs_.AddJob(std::move(path), subfolder);
    }
    // Files with their subfolders, as they are (a queue kept from an earlier start), reported
    // as one insertion.
    void AddFiles(std::span<const QueuedFile> files);
    // Takes waiting jobs out of the list; a job being converted stays (only a stop ends it).
    // The number taken out.
    int RemoveWaiting(std::span<const JobId> ids);
    // Moves waiting jobs to the top of the waiting ones, in their list order.
    void MoveToTop(std::span<const JobId> ids);
    // True while the job is being converted (or its stopped command has not ended yet).
    bool IsConverting(JobId id) const;
    // The list, to read and to watch (JobQueue::AddObserver).
    const JobQueue& Jobs() const { return jobs_; }

    // --- The run ------------------------------------------------------------------------------
    void StartRun() { run_->StartRun(); }
    // The Stop button: the head job's running command.
    void StopHead() { run_->StopHead(); }
    // Every running command; nothing more starts and the run ends as interrupted.
    void StopAll() { run_->StopAll(); }
    // Lets the converting jobs finish, then ends the run; the waiting jobs stay.
    void FinishAfterCurrent() { run_->FinishAfterCurrent(); }
    // The running command of one converting job (a row's own Stop).
    bool StopJob(JobId id) { return run_->StopJob(id); }
    // How many jobs convert at once: 1 (the default) to any number; 0 for one per core.
    void SetSimultaneousJobs(std::size_t count);
    std::size_t SimultaneousJobs() const { return run_->SimultaneousJobs(); }
    // The run timer's tick, once a second.
    void Tick() { run_->Tick(); }

    // The lines the run would start for job `index` (0 = head) if it began now, with the command
    // and output folder chosen now, prepared exactly as the run prepares them, with the output
    // names it would choose (but for the temporary names outputs are written under while a job
    // runs); no folder is created and nothing is started.
    JobPlan Plan(std::int32_t index);
    // The plans of every job of the list, as a run of them all would name their outputs (a
    // later job with the same name as an earlier one numbered).
    std::vector<JobPlan> PlanAll();

    // --- Progress -----------------------------------------------------------------------------
    // How far a converting job has come (nullopt when it is not converting), and the run as a
    // whole, as of the last Tick.
    std::optional<JobProgress> ProgressOf(JobId id) const { return run_->ProgressOf(id); }
    const QueueProgress& Queue() const { return run_->Queue(); }
    // Progress is followed unless switched off (a caller that shows none saves the work).
    void SetFollowProgress(bool on) { run_->SetFollowProgress(on); }

    // --- State --------------------------------------------------------------------------------
    std::int32_t JobCount() const { return jobs_.JobCount(); }
    bool RunActive() const { return run_->RunActive(); }
    std::int32_t ElapsedSeconds() const { return run_->ElapsedSeconds(); }
    bool StopRequested() const { return run_->StopRequested(); }
    ProcessHandle CurrentProcess() const { return run_->CurrentProcess(); }
    bool StopEnabled() const { return run_->StopEnabled(); }
    bool WaitingForProcess() const { return run_->WaitingForProcess(); }
    const std::string& ProgramFolder() const { return programFolder_; }
    PathStyle Style() const { return style_; }
    IniReader& Reader() { return *reader_; }

private:
    std::string programFolder_;
    PathStyle style_;
    std::shared_ptr<IniReader> reader_;
    std::unique_ptr<DeviceAccess> devices_;
    std::unique_ptr<ProcessLauncher> launcher_;
    std::unique_ptr<ConverterFeatureReader> converter_;  // cores/ffmpeg
    EngineObserver* observer_ = nullptr;
    JobQueue jobs_;
    DropIntake intake_;
    SettingsCatalogue catalogue_;
    RunPolicy policy_;
    std::optional<ChosenCommand> fixedCommand_;
    std::string outputFolder_;
    std::unique_ptr<BatchRun> run_;
    // Plan's last look at the settings file, kept while the file is unchanged.
    struct PlanTemplates {
        ChosenCommand command;
        std::shared_ptr<const IniDocument> document;
        CommandDefinition definition;
    };
    std::optional<PlanTemplates> planTemplates_;
    const CommandDefinition* PlanCommand(const ChosenCommand& command);
    JobPlan PlanWith(std::int32_t index, const ChosenCommand& command, RunOutputs& outputs);
    ExistingOutputs existingOutputs_ = ExistingOutputs::Overwrite;
    bool keepTree_ = false;
    bool keepDates_ = false;
};

}  // namespace palomix
