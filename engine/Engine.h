// The core's one door. An Engine owns everything a conversion needs: the job list and the
// intake of paths, the conversion settings (the catalogue, or a command fixed by the caller),
// the process launcher, the media prober, the drives, the job planner and the batch run. Both
// front ends (the window and palomix-batch) use it through the verbs below and learn what
// happens through one EngineObserver; they choose the words and the language, the core builds
// no sentence. Nothing of the core's insides is handed out: front ends ask questions and get
// values (engine/EngineTypes.h).
//
// Threads: everything runs on the host's thread. The launcher learns of a process's end on a
// thread of its own and hands it to the host through the PostToHost function the Engine was
// made with; the host runs that task on its thread, and the run goes on there.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineObserver.h"
#include "engine/EngineTypes.h"
#include "platform/Drives.h"
#include "platform/FolderEvents.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

class IniReader;

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
    // How inputs' lengths are told and done jobs' outputs checked: the helper palomix-probe
    // (empty: the one in the program folder, when it is there), else the probe program
    // (empty: cores/ffprobe of the program folder, when it is there). Without either, progress
    // has no percentages and outputs are not checked.
    std::string probeHelper;
    std::string probeProgram;
    // How long one question to the probe may take before it is given up (an output's also
    // gets time to be read from a slow card).
    std::chrono::milliseconds probeTimeLimit = std::chrono::seconds(15);
    // Finds the program a command line names, as the launcher does; empty: the system's rule.
    std::function<std::string(const std::string& name)> findProgram;
    // A second folder of settings files, the user's own (listed after the program's); empty
    // for none.
    std::string userSettingsFolder;
    // Where watched folders keep their records; empty: "watches" in the user's state folder
    // (ProgramStateFolder), none when that is not known.
    std::string watchRecordFolder;
    // The file system's events for watched folders; empty: the system's (SystemFolderEvents).
    std::function<std::unique_ptr<FolderEvents>(PostToHost, FolderEvents::Deliver)>
        makeFolderEvents;
};

// A path as it comes in, by whichever way (a drop, a command line, a later start, the kept
// queue): absolute (a relative one from the current folder), "." and ".." resolved by their
// text, no separator at the end but a root's own, the bytes of the names as they are. The
// door applies it to every path it takes; a front end that hands a path on to another process
// applies it first, where the current folder is the one the path was meant in.
std::string IncomingPath(std::string_view path);

class Engine {
public:
    // `post` hands a task to the host's thread (see above).
    Engine(EngineSetup setup, PostToHost post);
    // Terminates the commands still running; see SystemProcessLauncher for what happens to them.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Observers are told every fact, in the order they were added. Not owned; remove one
    // before it dies. SetObserver makes `observer` the only one (nullptr: none).
    void AddObserver(EngineObserver* observer);
    void RemoveObserver(EngineObserver* observer);
    void SetObserver(EngineObserver* observer);

    // --- The settings files ----------------------------------------------------------------
    // Loads the catalogue with the texts of the language and selects its first file (and that
    // file's first command). When convert_settings is missing nothing changes and the result
    // says so.
    CatalogueLoadResult LoadCatalogue(Language language);
    std::vector<CatalogueEntry> SettingsFiles() const;
    // The folders searched: convert_settings of the program folder, then the user's (if any).
    std::string SettingsFolder() const;
    std::string UserSettingsFolder() const;
    // Every settings file with its command list in the language (palomix-batch --list).
    std::vector<CatalogueListing> Listing(Language language);
    // The command list of any settings file in the language.
    std::vector<CommandRow> CommandsOf(const std::string& settingsFile, Language language);

    // The two selections of the window, by position (-1: none) or by what they name.
    int SelectedSettingsRow() const;
    void SelectSettingsRow(int row);
    bool SelectSettingsFile(const std::string& path);
    // Refills the command list for the selected settings file (nullopt: no language, an
    // empty list) and selects its first row.
    void RefreshCommandList(std::optional<Language> language);
    std::vector<CommandRow> CommandRows() const;
    int SelectedCommandRow() const;
    void SelectCommandRow(int row);
    bool SelectCommandItem(int itemNumber);
    std::optional<std::string> SelectedSettingsPath() const;
    std::optional<ChosenCommand> SelectedCommand() const;
    // Opens the selected settings file with `open` (the system's default program).
    void OpenSelectedSettingsFile(const std::function<void(const std::string&)>& open) const;

    // --- What to convert with -------------------------------------------------------------
    // A command fixed by the caller (palomix-batch), used instead of the selection; nullopt
    // goes back to the selection.
    void UseCommand(std::optional<ChosenCommand> command);
    // The command the run reads now: the fixed one, else the selection.
    std::optional<ChosenCommand> CurrentCommand() const;
    // The encoders and output formats that the command's cores/ffmpeg lines name and that
    // ffmpeg lacks; a run fails such a command's jobs unstarted. Never waits: the first call
    // (and the first after cores/ffmpeg changed) starts reading ffmpeg's lists and answers
    // Reading, and ConverterChecked tells when to ask again.
    CommandCheck CommandNeeds(const ChosenCommand& command);
    // What is known of cores/ffmpeg (its version once read) and how media files are probed.
    ConverterFacts Converter();
    // The output folder, exactly as shown; read by the run at the start of every job.
    void SetOutputFolder(std::string folder);
    const std::string& OutputFolder() const;
    // What happens to an output file that exists from before the run (Overwrite by default);
    // read at the start of every job.
    void SetExistingOutputs(ExistingOutputs existing);
    ExistingOutputs ExistingOutputsChoice() const;
    // A file found inside a dropped folder is converted into the same subfolder of the output
    // folder (off by default); player outputs are not affected.
    void SetKeepTree(bool on);
    bool KeepTree() const;
    // Each output gets the modification time of its source (off by default).
    void SetKeepDates(bool on);
    bool KeepDates() const;
    // How many jobs convert at once: 1 (the default) to any number; 0 for one per core. Raised
    // during a run, more jobs start at once.
    void SetSimultaneousJobs(std::size_t count);
    std::size_t SimultaneousJobs() const;
    // Progress is followed unless switched off (a caller that shows none saves the work).
    void SetFollowProgress(bool on);

    // --- The job list -----------------------------------------------------------------------
    // Paths become jobs at the end of the list, in order (folders searched). Does not start a
    // run.
    IntakeResult AddPaths(std::span<const std::string> paths);
    // A file a walk found, with the subfolder it lay in below a dropped folder; false ends the
    // walk there.
    using FoundFile = std::function<bool(const std::string& path, std::string_view subfolder)>;
    // The files of a drop, found as AddPaths finds them but handed to `found` instead of the
    // list. Touches no engine, so it may run on another thread while an engine works on its
    // own (a window walks a large drop so); the files then come into the list by AddFiles.
    static IntakeResult WalkPaths(std::span<const std::string> paths, const FoundFile& found);
    // Files put into the list as they are, without searching folders (a queue kept from an
    // earlier start, a watched folder, a drop walked apart), reported as one addition.
    void AddFiles(std::span<const std::string> paths);
    void AddFiles(std::span<const JobEntry> files);
    // Takes waiting jobs out of the list; a job being converted stays (only a stop ends it).
    // The number taken out.
    int RemoveWaiting(std::span<const JobId> ids);
    // Moves waiting jobs to the top of the waiting ones, in their list order.
    void MoveToTop(std::span<const JobId> ids);
    // True while the job is being converted (or its stopped command has not ended yet).
    bool IsConverting(JobId id) const;
    std::int32_t JobCount() const;
    // Job `index` (0 = the head); an empty view outside the list.
    JobView Job(std::int32_t index) const;
    JobStatus Status(std::int32_t index) const;
    std::optional<std::int32_t> IndexOf(JobId id) const;
    // Every job in list order (the views valid during the call).
    void VisitJobs(const std::function<void(const JobView&)>& visit) const;

    // --- The run ------------------------------------------------------------------------------
    void StartRun();
    // The Stop button: the head job's running command.
    void StopHead();
    // Every running command; nothing more starts and the run ends as interrupted.
    void StopAll();
    // Lets the converting jobs finish, then ends the run; the waiting jobs stay.
    void FinishAfterCurrent();
    // The running command of one converting job (a row's own Stop).
    bool StopJob(JobId id);
    // The run timer's tick, once a second.
    void Tick();

    // --- Plans --------------------------------------------------------------------------------
    // The lines the run would start for job `index` (0 = head) if it began now, with the command
    // and output folder chosen now, prepared exactly as the run prepares them, with the output
    // names it would choose (but for the temporary names outputs are written under while a job
    // runs); no folder is created and nothing is started.
    JobPlan Plan(std::int32_t index);
    // The plans of every job of the list in order, as a run of them all would name their
    // outputs (a later job with the same name as an earlier one numbered), each handed over as
    // it is made, so that a plan of any number of jobs needs the memory of one.
    void PlanEach(const std::function<void(const JobView&, const JobPlan&)>& each);
    // The plans of these paths, taken as a drop takes them, as a run of them would make them,
    // each handed over as its file is found, without putting them in the list (palomix-batch
    // --dry-run): no list is kept, so a plan of a million files needs the memory of one.
    IntakeResult PlanPaths(std::span<const std::string> paths,
                           const std::function<void(const JobView&, const JobPlan&)>& each);

    // --- Watched folders ----------------------------------------------------------------------
    // A folder whose files are converted as they arrive, each once, when it is complete: found
    // files join the list with the watch's command and output folder (EngineObserver::
    // WatchQueued), and what became of each is kept in the watch's record, so that nothing is
    // converted twice across restarts. Paths come in by IncomingPath. A watch added `paused`
    // looks at nothing until it is resumed.
    WatchId AddWatch(WatchSettings settings, bool paused = false);
    bool PauseWatch(WatchId id);
    bool ResumeWatch(WatchId id);
    // Its jobs in the list stay, and what becomes of them is still kept in its record.
    bool RemoveWatch(WatchId id);
    // The failed and stopped files of a watch named (all of them when none is named) are tried
    // again at once.
    bool RetryWatchFailures(WatchId id, std::span<const std::string> paths = {});
    std::vector<WatchView> Watches() const;
    std::optional<WatchView> Watch(WatchId id) const;
    // The times the watches keep (for watches added from now on).
    void SetWatchTiming(const WatchTiming& timing);

    // --- Progress and state -------------------------------------------------------------------
    // How far a converting job has come (nullopt when it is not converting), and the run as a
    // whole, as of the last Tick.
    std::optional<JobProgress> ProgressOf(JobId id) const;
    const QueueProgress& Queue() const;
    // How the jobs of the run (or of the last one) ended so far.
    const RunTally& Tally() const;
    bool RunActive() const;
    std::int32_t ElapsedSeconds() const;
    bool StopRequested() const;
    ProcessHandle CurrentProcess() const;
    bool StopEnabled() const;
    bool WaitingForProcess() const;
    const std::string& ProgramFolder() const;
    PathStyle Style() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace palomix
