// The batch run: converts the jobs of the job list one after the other, always the head job
// (row 1) first. For the head job it takes the command templates 0 to 255 of the chosen
// conversion command in order, reads and prepares each one when its turn comes, and runs each
// prepared line as a process; when the last template is done the job leaves the list and the
// next head job starts, until the list is empty.
//
// The run is a single-threaded, event-driven state machine. It owns no event loop and never
// sleeps or polls: it starts a process through the ProcessLauncher and returns; the host (the
// window's event loop, palomix-batch's queue) later hands it "that process ended" on the same
// thread, and the run goes on at once with the next template. At most one process runs at a
// time. Every change of state happens inside one of the calls below and is reported to the
// observer before that call returns.
//
// The host calls Timer0Timer once a second (the window's Timer0, palomix-batch's own timer);
// the run calls it once at the start of every job, so that the head shows
// "Converting...(00:00:00)" at once.
//
// Decisions the run makes:
// - StartRun while a run is active returns at once. Rows added meanwhile are reached by the
//   active run, which looks at the list afresh after every job.
// - A command that ends with a non-zero exit code or by a signal is a failed command: the job's
//   other templates still run and the batch goes on, but the job is recorded as failed, with
//   the command line, the exit and the last lines of its log.
// - A command that cannot be started ends the run: the head job stays in row 1 with the status
//   "Could not start: " and the program's name, the jobs below stay, and the next StartRun
//   begins again with the same head job.
// - With no conversion command selected (no settings file, or no command of it), no job is
//   started: the jobs stay in the list and the run ends, saying why. A selection that vanishes
//   in the middle of a job makes that job's remaining templates read as empty.
// - Stop: a successful Stop records the job as stopped, removes it from the list and disables
//   the Stop button at once. The terminated process may take a moment to end (on POSIX it gets
//   a terminate signal, then a kill signal 2 seconds later), and the next job is only started
//   once its end has arrived, so two processes never run at once. Until then the new head
//   keeps "Wait..." and the timer shows nothing; then the next job starts as every job does
//   (Stop enabled, Converting...(00:00:00)). The stopped job's remaining templates are never
//   run, and no job is removed twice.
// - The output folder is read once at the start of every job, created there with its parents,
//   and used for all of that job's templates; the chosen command is read for every template,
//   so a change of selection (a language switch, say) counts from the next template on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/JobQueue.h"
#include "engine/JobResult.h"
#include "platform/Drives.h"
#include "platform/PathRules.h"
#include "platform/ProcessLauncher.h"
#include "settings/IniFile.h"
#include "settings/Language.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

// Why a run ended.
enum class RunEndReason {
    QueueEmpty,       // every job has left the list
    LaunchFailed,     // a command of the head job could not be started
    NothingSelected,  // no conversion command is selected; no job was started
};

struct RunEnd {
    RunEndReason reason = RunEndReason::QueueEmpty;
    // LaunchFailed: the launcher's reason; NothingSelected: a short English description.
    std::string detail;
    // LaunchFailed: the command line that could not be started.
    std::string commandLine;
};

// Told about what the front end shows. Called synchronously on the run's thread, after the run
// state has been updated. A handler may call back into the run (StartRun, Button1Click,
// Timer0Timer); it must not destroy the run. ShowMessage, JobFinished, RunEnded and
// CommandStarted may run a nested event loop (a modal message box), StopEnabledChanged may
// not. Every method has an empty default.
class BatchRunObserver {
public:
    virtual ~BatchRunObserver() = default;
    // The Stop button Button1 became enabled or disabled.
    virtual void StopEnabledChanged(bool /*enabled*/) {}
    // A command line of the head job was started.
    virtual void CommandStarted(const std::string& /*commandLine*/) {}
    // A message for the user (the failed stop): a modal message box in the window.
    virtual void ShowMessage(const std::string& /*text*/) {}
    // A job is over: done or failed (it has left the list), stopped (it has left the list),
    // or not started (it stays in row 1). Also kept in Results().
    virtual void JobFinished(const JobResult& /*result*/) {}
    // The run has ended: RunActive is false and the Stop button disabled.
    virtual void RunEnded(const RunEnd& /*end*/) {}
};

// The values the run reads from the front end, at the moment the rules say.
struct BatchRunSettings {
    // Reads the command templates; an edit of a settings file counts from the next template
    // on. A new reader is made when none is given.
    std::shared_ptr<IniReader> reader;
    // The program's folder (no trailing separator except at a root), for PrepareCommandLine.
    std::string appFolder;
    PathStyle style = NativePathStyle();
    // The chosen settings file and command; called at the start of every job and for every
    // template read. nullopt (or no function) when nothing is selected.
    std::function<std::optional<ChosenCommand>()> chosenCommand;
    // The output folder text, exactly as shown; called at the start of every job.
    std::function<std::string()> outputFolder;
    // The check marks of the language menu items, for the failed-stop message.
    std::function<LanguageMarks()> languageMarks;
};

class BatchRun {
public:
    // The queue, launcher and device access are not owned and must outlive the run.
    BatchRun(JobQueue& jobs, ProcessLauncher& launcher, DeviceAccess& devices,
             BatchRunSettings settings);
    // Terminates the command still running, if any; its end, when it arrives, is ignored.
    ~BatchRun();
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    // Not owned; nullptr for none. Remove it before it dies.
    void SetObserver(BatchRunObserver* observer) { observer_ = observer; }

    // Starts converting the head job, and after it every job of the list. Returns as soon as
    // a command runs (or the run has ended); the run goes on when the command's end arrives.
    // With an empty list the Stop button is enabled and disabled again and nothing else
    // happens. Returns at once while a run is active.
    void StartRun();

    // The timer tick: while a job is being converted, writes "Converting...(HH:MM:SS)" for
    // ElapsedSeconds into the head's status, then advances ElapsedSeconds by one. Otherwise
    // nothing happens.
    void Timer0Timer();

    // The Stop button: terminates the running command. When that fails (the command has
    // already ended, even if its end has not arrived yet, or none runs) the failed-stop
    // message is shown in the current language and nothing else changes. A click while the
    // button is disabled does nothing.
    void Button1Click();

    // The run state.
    std::int32_t JobCount() const { return jobs_.JobCount(); }
    bool RunActive() const { return runActive_; }
    std::int32_t ElapsedSeconds() const { return elapsedSeconds_; }
    bool StopRequested() const { return stopRequested_; }
    // The process most recently started; id 0 after a failed launch and before the first.
    ProcessHandle CurrentProcess() const { return currentProcess_; }
    // Whether Button1 is enabled.
    bool StopEnabled() const { return stopEnabled_; }
    // True while the run waits for a process to end (a stopped one included).
    bool WaitingForProcess() const { return pending_.has_value(); }

    // The results of the jobs that are over, in the order they ended, since construction or
    // the last ClearResults.
    const std::vector<JobResult>& Results() const { return results_; }
    void ClearResults() { results_.clear(); }

private:
    struct Pending {
        ProcessHandle handle;
        std::string commandLine;
        std::string logPath;
    };
    struct AliveToken {};
    struct TemplateSource {
        std::string path;
        int itemNumber = 0;
        std::shared_ptr<const IniDocument> document;        // null: the file cannot be read
        std::vector<std::optional<std::string>> templates;  // by number, once looked up
    };

    // Goes on with the run until a command runs or the run ends.
    void Proceed();
    void BeginJob();
    std::optional<std::string> PrepareTemplate(int templateNumber);
    // Starts one prepared line and returns whether it was launched; the end of its process
    // arrives later through OnProcessEnded. A line that cannot be started ends the run.
    bool LaunchAndWait(const std::string& commandLine);
    void OnProcessEnded(ProcessHandle handle, ProcessExit exit);
    void FinishJob();
    void FailLaunch(const std::string& commandLine, const std::string& reason);
    void EndRun(RunEnd end);
    JobResult TakeJobResult(JobOutcome outcome);
    void Record(JobResult result);
    void ReportStopEnabled();
    std::optional<ChosenCommand> Chosen() const;

    JobQueue& jobs_;
    ProcessLauncher& launcher_;
    DeviceAccess& devices_;
    BatchRunSettings settings_;
    BatchRunObserver* observer_ = nullptr;

    bool runActive_ = false;
    std::int32_t elapsedSeconds_ = 0;
    bool stopRequested_ = false;
    ProcessHandle currentProcess_;
    bool stopEnabled_ = false;
    bool reportedStopEnabled_ = false;

    bool jobActive_ = false;  // the head job's templates are being worked through
    int nextTemplate_ = 0;
    std::string outputFolder_;  // read at the start of the job
    JobResult job_;
    std::optional<Pending> pending_;
    std::optional<TemplateSource> templateSource_;  // the settings file as last looked at
    bool templateSourceLooked_ = false;  // looked at since the run last went on after a wait
    std::vector<JobResult> results_;

    // The launcher's end handlers hold a weak reference, so an end that arrives after the run
    // is gone touches nothing.
    std::shared_ptr<AliveToken> alive_ = std::make_shared<AliveToken>();
};

}  // namespace palomix
