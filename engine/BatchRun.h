// The batch run, behind the core's door (engine/Engine.h): the scheduler that converts the jobs
// of the job list from the top. For a job it asks the planner (engine/JobPlanner.h) for the
// job's plan when it begins it and for each command template when that template's turn comes,
// runs each line to be run as a process, has the job's outputs checked and kept or discarded
// (engine/JobOutputs.h), and follows the run's progress (engine/RunProgress.h). When the last
// template is done the job leaves the list and the next one starts, until the list is empty.
//
// The run is a single-threaded, event-driven state machine. It owns no event loop and never
// sleeps or polls: it starts a process (or asks the media prober) and returns; the host later
// hands it "that process ended" (or the answer) on the same thread, and the run goes on at once.
// Every change of state happens inside one of the calls below and is reported to the observer
// before that call returns. A report may call back into the run, or run a nested event loop in
// which process ends arrive: the run then finishes what it was doing first and goes on from the
// state it finds.
//
// Decisions the run makes:
// - StartRun while a run is active returns at once. Rows added meanwhile are reached by the
//   active run, which looks at the list afresh after every job.
// - A job is done only when at least one command ran and every command that ran succeeded with
//   no line left out. A command that ends with a non-zero exit code or by a signal fails the job,
//   but the job's other lines still run and the batch goes on. A line the policy does not run
//   (a player that is not attached, a line the settings file holds too long to read whole) fails
//   the job the same way. A settings file that cannot be read ends the job as failed at once.
// - A command that cannot be started ends the run: the job stays in the list as not started,
//   the jobs below stay, and the next StartRun begins again with the same job.
// - With no conversion command chosen, no job is started: the jobs stay and the run ends. A
//   choice that vanishes in the middle of a job leaves that job's remaining templates unread.
//   A job queued with a command of its own (a watched folder's) is converted with that one,
//   and into its own output folder when it came with one.
// - Stop: a successful stop records the job as stopped, removes it from the list and disables
//   the Stop button at once. The next job starts only once the stopped process's end has
//   arrived, so two processes never run at once; until then the new head keeps waiting.
// - Stop all: every running command is stopped and no further job starts; the run ends as
//   interrupted once the stopped processes have ended. A job whose command had already ended
//   runs no further line and counts as stopped.
// - The output folder is read once at the start of every job, created there with its parents,
//   and used for all of that job's lines; the chosen command is read for every template, so a
//   change of choice (a language switch, say) counts from the next template on. An output
//   folder that cannot be made ends the run (with why), leaving the jobs in the list.
// - A file of a type the command does not take, and a job whose outputs exist when the user
//   chose to skip those, is skipped. Outputs get their names as engine/OutputNames.h says, are
//   written under temporary names and put under their final names when the job is done; the
//   temporary files of a job that failed or was stopped are removed.
// - Before a job starts, the encoders and output formats its cores/ffmpeg lines name are
//   checked against what that ffmpeg offers (the first job waits while its lists are read); a
//   job that needs something missing fails unstarted, saying what.
// - When every line of a job has succeeded, its outputs are checked (engine/OutputCheck.h)
//   through the media prober, one question at a time as the job's own, before they are put
//   under their final names; a job whose outputs fail the check fails. Stop ends a check as
//   it ends a command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConvertingJob.h"
#include "engine/EngineObserver.h"
#include "engine/JobPlanner.h"
#include "engine/JobQueue.h"
#include "engine/MediaProbe.h"
#include "engine/Progress.h"
#include "engine/RunProgress.h"
#include "platform/Drives.h"
#include "platform/ProcessLauncher.h"

namespace palomix {

// What the run reads from its owner, at the moments named.
struct RunInputs {
    // The chosen command; asked before every job and for every template. nullopt: none.
    std::function<std::optional<ChosenCommand>()> chosenCommand;
    // The output folder, what to do with existing outputs, the kept tree; asked at the start of
    // every job.
    std::function<PlanChoices()> choices;
    // Each output gets its source's modification time (asked when a job is done).
    std::function<bool()> keepDates;
    // Without a prober a done job's outputs are not checked; this says whether such a job
    // notes that (cores/ffmpeg is there without a way to probe).
    bool noteUncheckedOutputs = false;
};

class BatchRun {
public:
    // Nothing is owned; everything must outlive the run. `prober`: nullptr for none. The
    // prober's answers are handed to ProbeAnswered.
    BatchRun(JobQueue& jobs, ProcessLauncher& launcher, JobPlanner& planner, MediaProber* prober,
             RunInputs inputs);
    // Terminates the commands still running; their ends, when they arrive, are ignored.
    ~BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    void SetObserver(EngineObserver* observer) { observer_ = observer; }

    // Starts converting from the head job on. Returns as soon as a command runs (or the run has
    // ended). With an empty list the Stop button is enabled and disabled again and nothing else
    // happens. Returns at once while a run is active.
    void StartRun();

    // The run timer's tick: every job being converted shows its seconds, which then advance by
    // one. Nothing happens while no job is being converted.
    void Tick();

    // The Stop button: stops the running command of the head job. When there is nothing to stop
    // (its command has already ended, even if the end has not arrived) StopFailed is reported and
    // nothing changes. Does nothing while the button is disabled.
    void StopHead();

    // Stops every running command and starts nothing more; see above.
    void StopAll();

    // Lets the converting jobs finish and then ends the run (FinishedEarly), keeping the jobs
    // that wait. Nothing happens while no run is active.
    void FinishAfterCurrent();

    // Stops the running command of one converting job; false when it is not converting or its
    // command has already ended (then StopFailed is reported, as for the Stop button).
    bool StopJob(JobId id);

    // The converter's lists have been read: a run that waited for them goes on.
    void ConverterRead();
    // An answer of the media prober.
    void ProbeAnswered(ProbeTicket ticket, const ProbeAnswer& answer);

    // How many jobs convert at once (1 by default). More than one: the next jobs from the top
    // of the list start as others are converting, each running its own lines one after the
    // other; jobs leave the list as they finish. Lines that write to the same player wait for
    // each other, and the converters run below the host's priority, so the computer stays
    // usable while every core is busy. A run that is active starts more jobs at once.
    void SetSimultaneousJobs(std::size_t count);
    std::size_t SimultaneousJobs() const { return maxActive_; }

    bool RunActive() const { return runActive_; }

    // Whether the run follows its converters' progress (on by default): reads the end of each
    // running command's log at every tick and asks for the inputs' lengths (without it, only
    // the lengths that the check of a converting job's outputs will need).
    void SetFollowProgress(bool on) { progress_.SetFollow(on); }

    // True while the job is active: converting, or stopped with its command not ended yet.
    bool IsActive(JobId id) const;

    // How far a converting job has come; nullopt for a job that is not converting.
    std::optional<JobProgress> ProgressOf(JobId id) const;
    // How far the run has come, as of the last tick.
    const QueueProgress& Queue() const { return progress_.Queue(); }
    // How the jobs of the run (or of the last one) ended so far.
    const RunTally& Tally() const { return tally_; }
    // The seconds of the job being converted (the head), or of the last one.
    std::int32_t ElapsedSeconds() const;
    bool StopRequested() const { return stopRequested_; }
    ProcessHandle CurrentProcess() const { return currentProcess_; }
    bool StopEnabled() const { return stopEnabled_; }
    // True while the run waits for a process to end (a stopped one included).
    bool WaitingForProcess() const;
    // The temporary files of the jobs begun and not finished (to be removed once their
    // converters have ended, when the run is given up).
    std::vector<MadeFile> Temporaries() const;

private:
    using Pending = WaitedFor;
    using ActiveJob = ConvertingJob;
    struct AliveToken {};

    // Goes on with the run until every job waits for a process or the run has ended.
    void Proceed();
    // One step of the run; false when there is nothing more to do until an event arrives.
    bool Step();
    ActiveJob* FindActive(JobId id);
    ActiveJob* ActiveToAdvance();
    // Starts the first waiting job; false when none can start now.
    bool BeginNextJob();
    // Makes the job's output folder; false (and the run ends or is ending) when it cannot.
    bool MakeOutputFolder(const std::string& folder);
    // Works through the job's templates until one runs or the job is over.
    void Advance(JobId id);
    // The template whose turn comes; nullptr when the job has none left (or cannot go on).
    const CommandTemplate* NextTemplate(ActiveJob& job);
    // Runs the line, or leaves it waiting for its player; false when the job goes on at once.
    bool RunLine(ActiveJob& job, PlannedLine line);
    bool Launch(ActiveJob& job, const PlannedLine& line);
    void OnProcessEnded(ProcessHandle handle, ProcessExit exit);
    // The end of what a job waited for: its line's or its question's.
    void OnPendingEnded(ActiveJob& job, const Pending& ended);
    // The converting jobs as the run's progress sees them.
    std::vector<ConvertingShare> Shares() const;
    void AskLengths();
    void FinishJob(JobId id);
    void FailLaunch(JobId id, const PlannedLine& line, const LaunchResult& launch);
    void EndRun(RunEnd end);
    void Report(JobResult result);
    void ReportStopEnabled();
    void UpdateStopEnabled();
    bool StopJobNow(ActiveJob& job);
    bool PlayerBusy(const std::string& drive) const;
    // The command a job is converted with: its own, else the chosen one.
    std::optional<ChosenCommand> CommandOf(const ActiveJob& job) const;
    std::optional<ChosenCommand> Chosen() const;
    // Ends a job before any of its lines ran (skipped or failed), taking it out of the list.
    void EndUnstarted(JobId id, const std::string& path, JobOutcome outcome, JobProblem problem,
                      std::string subject);

    JobQueue& jobs_;
    ProcessLauncher& launcher_;
    JobPlanner& planner_;
    MediaProber* prober_;
    RunInputs inputs_;
    EngineObserver* observer_ = nullptr;

    bool runActive_ = false;
    bool stopRequested_ = false;
    bool stopEnabled_ = false;
    bool reportedStopEnabled_ = false;
    std::optional<RunEndReason> ending_;  // no new job starts; the run ends with this reason
    ProcessHandle currentProcess_;
    std::int32_t lastElapsedSeconds_ = 0;
    std::size_t maxActive_ = 1;
    std::vector<ActiveJob> active_;  // in the order they started
    RunTally tally_;

    bool proceeding_ = false;
    bool proceedAgain_ = false;
    OutputBook book_;  // the final outputs made or being made in this run
    RunProgress progress_;
    bool waitingForConverter_ = false;  // the next job waits for the converter's lists

    // The launcher's end handlers hold a weak reference, so an end that arrives after the run
    // is gone touches nothing.
    std::shared_ptr<AliveToken> alive_ = std::make_shared<AliveToken>();
};

}  // namespace palomix
