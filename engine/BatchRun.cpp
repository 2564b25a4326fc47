#include "engine/BatchRun.h"

#include <limits>
#include <utility>

#include "engine/CommandLine.h"
#include "engine/RunTimerText.h"
#include "platform/CommandLineSplit.h"
#include "platform/LogTail.h"

namespace palomix {

namespace {

constexpr std::string_view kCouldNotStart = "Could not start: ";

// The name of the program a command line starts, for the head's status: the file name of the
// line's first token, as the line writes it.
std::string ProgramNameOf(const std::string& commandLine, PathStyle style) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    if (candidates.empty()) {
        return "(empty command line)";
    }
    const std::string& program = candidates.front().program;
    const std::string_view name = FileNameOf(program, style);
    if (!name.empty()) {
        return std::string(name);
    }
    return program.empty() ? "(no program named)" : program;
}

}  // namespace

BatchRun::BatchRun(JobQueue& jobs, ProcessLauncher& launcher, DeviceAccess& devices,
                   BatchRunSettings settings)
    : jobs_(jobs), launcher_(launcher), devices_(devices), settings_(std::move(settings)) {
    if (!settings_.reader) {
        settings_.reader = std::make_shared<IniReader>();
    }
}

BatchRun::~BatchRun() {
    // alive_ goes with the run, so the end of this process, when the host delivers it, finds
    // nothing to call.
    if (pending_ && !stopRequested_) {
        launcher_.Terminate(pending_->handle);
    }
}

void BatchRun::StartRun() {
    if (runActive_) {
        // The active run reaches the rows added since it started; a second start would run
        // the head job twice.
        return;
    }
    if (jobs_.JobCount() < 1) {
        runActive_ = true;
        stopEnabled_ = true;
        ReportStopEnabled();
        EndRun({RunEndReason::QueueEmpty, {}, {}});
        return;
    }
    Proceed();
}

void BatchRun::Proceed() {
    templateSourceLooked_ = false;
    // A loop rather than a call per job, so that any number of jobs without a command to run
    // pass through on a flat stack.
    for (;;) {
        if (!jobActive_) {
            if (jobs_.JobCount() < 1) {
                EndRun({RunEndReason::QueueEmpty, {}, {}});
                return;
            }
            if (!Chosen()) {
                EndRun({RunEndReason::NothingSelected, "no conversion command is selected", {}});
                return;
            }
            BeginJob();
        }
        while (nextTemplate_ < kCommandTemplateCount) {
            const std::optional<std::string> line = PrepareTemplate(nextTemplate_++);
            if (line) {
                // Launched: the run goes on when the process's end arrives. Not launched:
                // the run has ended. Either way nothing more happens here, since an observer
                // may already have moved the run on.
                LaunchAndWait(*line);
                return;
            }
        }
        FinishJob();
    }
}

void BatchRun::BeginJob() {
    runActive_ = true;
    stopEnabled_ = true;
    jobActive_ = true;
    nextTemplate_ = 0;
    job_ = JobResult{};
    job_.path = jobs_.HeadPath();
    elapsedSeconds_ = 0;
    Timer0Timer();
    outputFolder_ = settings_.outputFolder ? settings_.outputFolder() : std::string();
    if (!outputFolder_.empty()) {
        // A folder that cannot be made is not an error of the run: the converter then fails
        // to write, and that failure is recorded.
        devices_.CreateFolders(outputFolder_);
    }
    ReportStopEnabled();
}

std::optional<ChosenCommand> BatchRun::Chosen() const {
    return settings_.chosenCommand ? settings_.chosenCommand() : std::nullopt;
}

std::optional<std::string> BatchRun::PrepareTemplate(int templateNumber) {
    const std::optional<ChosenCommand> chosen = Chosen();
    if (!chosen || chosen->itemNumber < 0 || chosen->itemNumber >= kSettingsItemCount) {
        return std::nullopt;
    }
    // The file is looked at afresh whenever the run goes on after a wait, so an edit made
    // while a command runs counts from the next template. The templates read without a wait
    // in between (the empty ones after a command, or every one of the jobs that start no
    // process) share one look. A parsed file never changes, so the templates looked up in it
    // are kept for as long as each look finds the same file unchanged: then a job costs one
    // look per command rather than 256 lookups.
    if (!templateSourceLooked_ || !templateSource_ ||
        templateSource_->path != chosen->settingsFile ||
        templateSource_->itemNumber != chosen->itemNumber) {
        std::shared_ptr<const IniDocument> document =
            settings_.reader->Document(chosen->settingsFile);
        if (!templateSource_ || templateSource_->path != chosen->settingsFile ||
            templateSource_->itemNumber != chosen->itemNumber ||
            templateSource_->document != document) {
            templateSource_ =
                TemplateSource{chosen->settingsFile, chosen->itemNumber, std::move(document), {}};
            templateSource_->templates.resize(kCommandTemplateCount);
        }
        templateSourceLooked_ = true;
    }
    if (!templateSource_->document) {
        return std::nullopt;
    }
    std::optional<std::string>& cached = templateSource_->templates[templateNumber];
    if (!cached) {
        cached = templateSource_->document->ReadString(ItemSectionName(chosen->itemNumber),
                                                       CommandKeyName(templateNumber), {});
    }
    const std::string& commandTemplate = *cached;
    if (commandTemplate.empty()) {
        return std::nullopt;
    }
    std::string missingPlayer;
    std::optional<std::string> line = PrepareCommandLine(
        commandTemplate, CommandValues{jobs_.HeadPath(), outputFolder_, settings_.appFolder},
        devices_, settings_.style, &missingPlayer);
    if (line && !missingPlayer.empty()) {
        // A line meant for a player that is not attached would write a file with no folder
        // and no name into the current folder: it is not started, and the job fails.
        job_.failures.push_back(
            FailedCommand{*line, {}, {}, "no " + missingPlayer + " is attached"});
        return std::nullopt;
    }
    return line;
}

bool BatchRun::LaunchAndWait(const std::string& commandLine) {
    currentProcess_ = ProcessHandle{};
    const std::weak_ptr<AliveToken> alive = alive_;
    LaunchResult launch =
        launcher_.Launch(commandLine, [this, alive](ProcessHandle handle, ProcessExit exit) {
            if (alive.lock()) {
                OnProcessEnded(handle, exit);
            }
        });
    if (!launch.launched) {
        FailLaunch(commandLine, launch.reason);
        return false;
    }
    currentProcess_ = launch.handle;
    ++job_.commandsRun;
    pending_ = Pending{launch.handle, commandLine, std::move(launch.logPath)};
    if (observer_ != nullptr) {
        observer_->CommandStarted(commandLine);
    }
    return true;
}

void BatchRun::OnProcessEnded(ProcessHandle handle, ProcessExit exit) {
    if (!pending_ || pending_->handle != handle) {
        return;  // not the process the run waits for
    }
    const Pending ended = std::move(*pending_);
    pending_.reset();
    if (stopRequested_) {
        // The end of a stopped command: its job was recorded and removed by the stop, so the
        // run goes on with the job now at the head, if any.
        stopRequested_ = false;
        launcher_.DiscardLog(handle);
        Proceed();
        return;
    }
    if (!exit.Succeeded()) {
        job_.failures.push_back(FailedCommand{
            ended.commandLine, exit,
            ended.logPath.empty() ? std::vector<std::string>{}
                                  : LastLines(ended.logPath, kFailedCommandLogLines)});
    }
    launcher_.DiscardLog(handle);
    Proceed();
}

void BatchRun::FinishJob() {
    JobResult result = TakeJobResult(job_.failures.empty() ? JobOutcome::Done : JobOutcome::Failed);
    jobActive_ = false;
    jobs_.RemoveHeadJob();
    Record(std::move(result));
}

void BatchRun::FailLaunch(const std::string& commandLine, const std::string& reason) {
    jobs_.SetHeadStatus(std::string(kCouldNotStart) + ProgramNameOf(commandLine, settings_.style));
    JobResult result = TakeJobResult(JobOutcome::NotStarted);
    result.launchFailure = reason;
    jobActive_ = false;
    // Reported while the run is still active, so that a StartRun from the handler cannot
    // retry the same line at once.
    Record(std::move(result));
    EndRun({RunEndReason::LaunchFailed, reason, commandLine});
}

void BatchRun::EndRun(RunEnd end) {
    runActive_ = false;
    stopEnabled_ = false;
    ReportStopEnabled();
    if (observer_ != nullptr) {
        observer_->RunEnded(end);
    }
}

JobResult BatchRun::TakeJobResult(JobOutcome outcome) {
    JobResult result = std::move(job_);
    job_ = JobResult{};
    result.outcome = outcome;
    // Each tick shows ElapsedSeconds, then advances it: the time shown last is one less.
    result.elapsedSeconds = elapsedSeconds_ > 0 ? elapsedSeconds_ - 1 : 0;
    return result;
}

void BatchRun::Record(JobResult result) {
    results_.push_back(std::move(result));
    if (observer_ != nullptr) {
        // A copy: the handler may start a run or clear the results.
        const JobResult finished = results_.back();
        observer_->JobFinished(finished);
    }
}

void BatchRun::ReportStopEnabled() {
    // Reports the state as it is now, so that a report can never contradict the button.
    if (reportedStopEnabled_ == stopEnabled_) {
        return;
    }
    reportedStopEnabled_ = stopEnabled_;
    if (observer_ != nullptr) {
        observer_->StopEnabledChanged(stopEnabled_);
    }
}

void BatchRun::Timer0Timer() {
    // Between a stop and the end of the stopped command no job is being converted: the new
    // head keeps "Wait..." until its own job starts.
    if (!runActive_ || !jobActive_) {
        return;
    }
    jobs_.SetHeadStatus(ConvertingStatusText(elapsedSeconds_));
    if (elapsedSeconds_ < std::numeric_limits<std::int32_t>::max()) {
        ++elapsedSeconds_;
    }
}

void BatchRun::Button1Click() {
    if (!stopEnabled_) {
        return;
    }
    if (!pending_ || !launcher_.Terminate(pending_->handle)) {
        if (observer_ != nullptr) {
            const LanguageMarks marks =
                settings_.languageMarks ? settings_.languageMarks() : LanguageMarks{};
            observer_->ShowMessage(std::string(StopFailedMessage(marks.Current())));
        }
        return;
    }
    // Every change first, the reports after: a handler that runs a nested event loop may see
    // the stopped command's end arrive and the next job start.
    stopRequested_ = true;
    stopEnabled_ = false;
    JobResult result = TakeJobResult(JobOutcome::Stopped);
    jobActive_ = false;
    jobs_.RemoveHeadJob();
    ReportStopEnabled();
    Record(std::move(result));
}

}  // namespace palomix
