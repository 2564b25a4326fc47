#include "engine/BatchRun.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engine/JobRecords.h"

namespace palomix {

BatchRun::BatchRun(JobQueue& jobs, ProcessLauncher& launcher, JobPlanner& planner,
                   MediaProber* prober, RunInputs inputs)
    : jobs_(jobs),
      launcher_(launcher),
      planner_(planner),
      prober_(prober),
      inputs_(std::move(inputs)),
      book_(planner.Style()),
      progress_(jobs, prober, [this](const std::string& path, std::optional<double> length) {
          for (ActiveJob& job : active_) {
              if (job.result.path == path && !job.progress.Duration()) {
                  job.progress.SetDuration(length);
              }
          }
      }) {}

BatchRun::~BatchRun() {
    // alive_ goes with the run, so the ends of these processes, when the host delivers them,
    // find nothing to call.
    for (const ActiveJob& job : active_) {
        if (job.pending && !job.stopped && job.pending->kind == Pending::Kind::Line) {
            launcher_.Terminate(job.pending->handle);
        }
    }
}

std::int32_t BatchRun::ElapsedSeconds() const {
    for (const ActiveJob& job : active_) {
        if (!job.stopped) {
            return job.elapsedSeconds;
        }
    }
    return lastElapsedSeconds_;
}

bool BatchRun::WaitingForProcess() const {
    return std::any_of(active_.begin(), active_.end(),
                       [](const ActiveJob& job) { return job.pending.has_value(); });
}

std::vector<MadeFile> BatchRun::Temporaries() const {
    std::vector<MadeFile> made;
    for (const ActiveJob& job : active_) {
        for (MadeFile& file : job.outputs.Temporaries()) {
            made.push_back(std::move(file));
        }
    }
    return made;
}

std::optional<ChosenCommand> BatchRun::Chosen() const {
    return inputs_.chosenCommand ? inputs_.chosenCommand() : std::nullopt;
}

std::optional<ChosenCommand> BatchRun::CommandOf(const ActiveJob& job) const {
    return job.ownCommand ? job.ownCommand : Chosen();
}

void BatchRun::SetSimultaneousJobs(std::size_t count) {
    maxActive_ = count < 1 ? 1 : count;
    if (runActive_) {
        Proceed();  // more at once: the next jobs start now
    }
}

void BatchRun::StartRun() {
    if (runActive_) {
        // The active run reaches the rows added since it started; a second start would run
        // the head job twice.
        return;
    }
    runActive_ = true;
    ending_.reset();
    book_.Clear();  // outputs of earlier runs count as files from before this one
    tally_ = RunTally{};
    progress_.BeginRun();
    if (jobs_.Empty()) {
        stopEnabled_ = true;
        ReportStopEnabled();
        EndRun(RunEnd{RunEndReason::QueueEmpty, {}, {}, {}});
        return;
    }
    planner_.BeginPass();
    Proceed();
}

void BatchRun::Proceed() {
    if (proceeding_) {
        // Called back from a report of the step below: that loop goes on from the new state.
        proceedAgain_ = true;
        return;
    }
    proceeding_ = true;
    do {
        proceedAgain_ = false;
        // A loop rather than a call per job, so that any number of jobs without a command to
        // run pass through on a flat stack.
        while (Step()) {
        }
    } while (proceedAgain_);
    proceeding_ = false;
}

bool BatchRun::Step() {
    if (!runActive_) {
        return false;
    }
    if (ActiveJob* job = ActiveToAdvance()) {
        Advance(job->id);
        return true;
    }
    if (!ending_ && active_.size() < maxActive_ && BeginNextJob()) {
        return true;
    }
    if (active_.empty() && runActive_ && (!waitingForConverter_ || ending_)) {
        waitingForConverter_ = false;
        EndRun(RunEnd{ending_.value_or(RunEndReason::QueueEmpty), {}, {}, {}});
    }
    return false;
}

void BatchRun::ConverterRead() {
    planner_.BeginPass();  // what cores/ffmpeg offers is known now
    if (waitingForConverter_ && runActive_) {
        Proceed();
    }
}

BatchRun::ActiveJob* BatchRun::FindActive(JobId id) {
    const auto found = std::find_if(active_.begin(), active_.end(),
                                    [id](const ActiveJob& job) { return job.id == id; });
    return found == active_.end() ? nullptr : &*found;
}

BatchRun::ActiveJob* BatchRun::ActiveToAdvance() {
    for (ActiveJob& job : active_) {
        if (!job.pending && !job.stopped &&
            (job.waitsForPlayer.empty() || !PlayerBusy(job.waitsForPlayer))) {
            return &job;
        }
    }
    return nullptr;
}

bool BatchRun::PlayerBusy(const std::string& drive) const {
    return std::any_of(active_.begin(), active_.end(),
                       [&drive](const ActiveJob& job) { return job.WritesTo(drive); });
}

bool BatchRun::MakeOutputFolder(const std::string& folder) {
    if (folder.empty()) {
        return true;
    }
    // A folder that cannot be made would fail every job the same way: the run ends once,
    // saying why, and the jobs stay.
    const std::error_code error = planner_.Devices().MakeFolders(folder);
    if (!error) {
        return true;
    }
    if (active_.empty()) {
        EndRun(RunEnd{RunEndReason::OutputFolderUnusable, folder, error, {}});
    } else {
        ending_ = RunEndReason::OutputFolderUnusable;
    }
    return false;
}

bool BatchRun::BeginNextJob() {
    // The first job of the list that is not being converted: the head, unless it is running.
    std::optional<std::int32_t> next;
    for (std::int32_t index = 0; index < jobs_.JobCount(); ++index) {
        if (FindActive(jobs_.Id(index)) == nullptr) {
            next = index;
            break;
        }
    }
    if (!next) {
        return false;
    }
    const ChosenCommand* own = jobs_.Command(*next);
    const std::optional<ChosenCommand> chosen =
        own != nullptr ? std::optional<ChosenCommand>(*own) : Chosen();
    if (!chosen) {
        if (active_.empty()) {
            ending_ = RunEndReason::NothingSelected;
        }
        return false;
    }
    // The job's lines are checked against what cores/ffmpeg offers: while its lists are being
    // read, the job waits (ConverterRead goes on).
    waitingForConverter_ = planner_.ConverterState() == ConverterFeatureReader::State::Reading;
    if (waitingForConverter_) {
        return false;
    }
    const JobId id = jobs_.Id(*next);
    const std::string path = jobs_.JobPath(*next);
    PlanChoices choices = inputs_.choices ? inputs_.choices() : PlanChoices{};
    if (const std::string& own = jobs_.OutputFolder(*next); !own.empty()) {
        choices.outputFolder = own;  // queued with an output folder of its own (a watch's)
    }
    if (!MakeOutputFolder(choices.outputFolder)) {
        return false;
    }
    // The job's outputs get their names before anything runs; a job that cannot or need not
    // convert ends here.
    PlannedJob planned = planner_.PlanJob(path, jobs_.Subfolder(*next), *chosen, choices, book_);
    if (planned.endsAhead) {
        EndUnstarted(id, path, *planned.endsAhead, planned.plan.problem,
                     std::move(planned.plan.problemSubject));
        return true;
    }
    // A folder of the kept tree is made only where an output goes (not for a player's files).
    const std::string& folder = planned.plan.outputFolder;
    const std::vector<LineOutput> outputs = planned.plan.Outputs();
    if (folder != choices.outputFolder &&
        std::any_of(outputs.begin(), outputs.end(),
                    [&](const LineOutput& output) {
                        return FolderOf(output.path, planner_.Style()) == folder;
                    }) &&
        !MakeOutputFolder(folder)) {
        return false;
    }
    active_.emplace_back(
        id, path, own != nullptr ? std::optional<ChosenCommand>(*own) : std::nullopt,
        std::move(planned), planner_.Style(), TemporaryPlace{&planner_.Devices(), &launcher_});
    ConvertingJob& job = active_.back();
    for (const std::string& output : job.result.outputs) {
        book_.Add(output);  // being made: no other job of the run takes it
    }
    if (const InputLengths* known = progress_.LengthOf(path)) {
        job.progress.SetDuration(known->whole);
    }
    const JobStart start{id, path, job.outputs.OutputName()};
    AskLengths();
    // The job's time starts at zero and shows at once.
    jobs_.SetStatus(id, JobStatus{JobState::Converting, 0, {}});
    active_.back().elapsedSeconds = 1;
    stopEnabled_ = true;
    ReportStopEnabled();
    if (observer_ != nullptr) {
        observer_->JobStarted(start);
    }
    return true;
}

void BatchRun::EndUnstarted(JobId id, const std::string& path, JobOutcome outcome,
                            JobProblem problem, std::string subject) {
    JobResult result;
    result.id = id;
    result.path = path;
    result.outcome = outcome;
    result.problem = problem;
    result.problemSubject = std::move(subject);
    jobs_.Remove(id);
    Report(std::move(result));
}

const CommandTemplate* BatchRun::NextTemplate(ActiveJob& job) {
    const std::optional<ChosenCommand> chosen = CommandOf(job);
    if (!chosen) {
        return nullptr;  // the rest read as empty
    }
    const CommandDefinition* command = planner_.Command(*chosen);
    if (command == nullptr) {
        job.result.problem = JobProblem::SettingsUnreadable;
        job.result.problemSubject = chosen->settingsFile;
        return nullptr;
    }
    const std::vector<CommandTemplate>& templates = command->templates;
    const auto next =
        std::lower_bound(templates.begin(), templates.end(), job.nextTemplate,
                         [](const CommandTemplate& t, int number) { return t.number < number; });
    return next == templates.end() ? nullptr : &*next;
}

void BatchRun::Advance(JobId id) {
    for (;;) {
        ActiveJob* job = FindActive(id);
        if (job == nullptr) {
            return;
        }
        const CommandTemplate* next =
            job->nextTemplate < kCommandTemplateCount ? NextTemplate(*job) : nullptr;
        if (next == nullptr) {
            job->nextTemplate = kCommandTemplateCount;
            if (!job->CheckStep(prober_, progress_, inputs_.noteUncheckedOutputs, maxActive_ > 1,
                                ending_ == RunEndReason::Interrupted)) {
                FinishJob(id);
            }
            return;
        }
        job->nextTemplate = next->number + 1;
        if (ending_ == RunEndReason::Interrupted) {
            // Stopped between two of its commands: nothing more of it runs.
            job->result.outcome = JobOutcome::Stopped;
            FinishJob(id);
            return;
        }
        std::optional<PlannedLine> line = planner_.PlanLine(
            *next, JobInputs{job->result.path, job->outputFolder, job->outputs.TemporaryName()});
        if (line && RunLine(*job, std::move(*line))) {
            return;
        }
    }
}

bool BatchRun::RunLine(ActiveJob& job, PlannedLine line) {
    if (!line.Runs()) {
        CommandRecord record;
        record.templateNumber = line.templateNumber;
        record.commandLine = std::move(line.commandLine);
        record.state = CommandState::NotRun;
        record.notRun = *line.notRun;
        job.result.commands.push_back(std::move(record));
        return false;
    }
    // A player's card takes one writer at a time: the line waits while another job's line
    // writes to the same player, and is prepared again when its turn comes.
    job.waitsForPlayer.clear();
    for (const LineOutput& output : line.outputs) {
        if (!output.drive.empty() && PlayerBusy(output.drive)) {
            job.waitsForPlayer = output.drive;
            job.nextTemplate = line.templateNumber;
            return true;
        }
    }
    if (const std::optional<std::string> refused = job.outputs.LineStarts(line)) {
        // Its temporary file could not be made: nothing of the job may run any more.
        job.result.problem = JobProblem::OutputNotMade;
        job.result.problemSubject = *refused;
        job.nextTemplate = kCommandTemplateCount;
        return false;
    }
    Launch(job, line);
    return true;
}

bool BatchRun::Launch(ActiveJob& job, const PlannedLine& line) {
    currentProcess_ = ProcessHandle{};
    const std::weak_ptr<AliveToken> alive = alive_;
    LaunchOptions options;
    options.lowPriority = maxActive_ > 1;
    const auto onEnded = [this, alive](ProcessHandle handle, ProcessExit exit) {
        if (alive.lock()) {
            OnProcessEnded(handle, exit);
        }
    };
    // One conversion at a time runs as the host does; several run below it.
    const LaunchResult launch = options == LaunchOptions{}
                                    ? launcher_.Launch(line.commandLine, onEnded)
                                    : launcher_.Launch(line.commandLine, options, onEnded);
    if (!launch.launched) {
        FailLaunch(job.id, line, launch);
        return false;
    }
    currentProcess_ = launch.handle;
    job.LineStarted(line, launch);
    if (observer_ != nullptr) {
        observer_->CommandStarted(CommandStart{job.id, line.templateNumber, line.commandLine});
    }
    return true;
}

void BatchRun::OnProcessEnded(ProcessHandle handle, ProcessExit exit) {
    const auto found = std::find_if(active_.begin(), active_.end(), [handle](const ActiveJob& j) {
        return j.pending && j.pending->kind == Pending::Kind::Line && j.pending->handle == handle;
    });
    if (found == active_.end()) {
        return;  // not a process the run waits for
    }
    const Pending ended = std::move(*found->pending);
    found->pending.reset();
    if (!found->stopped) {
        found->LineEnded(ended, exit);
    }
    launcher_.DiscardLog(handle);
    OnPendingEnded(*found, ended);
}

void BatchRun::ProbeAnswered(ProbeTicket ticket, const ProbeAnswer& answer) {
    if (progress_.Answered(ticket, answer)) {
        AskLengths();
        return;
    }
    const auto found = std::find_if(active_.begin(), active_.end(), [ticket](const ActiveJob& j) {
        return j.pending && j.pending->kind != Pending::Kind::Line && j.pending->ticket == ticket;
    });
    if (found == active_.end()) {
        return;
    }
    const Pending ended = std::move(*found->pending);
    found->pending.reset();
    if (!found->stopped) {
        found->CheckAnswered(ended, answer, progress_);
    }
    OnPendingEnded(*found, ended);
}

void BatchRun::OnPendingEnded(ActiveJob& job, const Pending& ended) {
    const bool stopped = job.stopped;
    if (stopped) {
        // The end of a stopped command: its job was recorded and removed by the stop; what it
        // wrote goes now that it can write no more.
        job.outputs.Discard(job.result, book_);
        active_.erase(active_.begin() + (&job - active_.data()));
        stopRequested_ = std::any_of(active_.begin(), active_.end(),
                                     [](const ActiveJob& active) { return active.stopped; });
    }
    if (ended.kind == Pending::Kind::Line || stopped) {
        planner_.BeginPass();  // the run goes on after a wait: the settings file is looked at
    }
    Proceed();
}

void BatchRun::FinishJob(JobId id) {
    ActiveJob* job = FindActive(id);
    if (job == nullptr) {
        return;
    }
    JobResult result = job->Finished(book_, inputs_.keepDates && inputs_.keepDates());
    lastElapsedSeconds_ = job->elapsedSeconds;
    progress_.JobOver(job->progress.Duration().value_or(0.0));
    active_.erase(active_.begin() + (job - active_.data()));
    jobs_.Remove(id);
    Report(std::move(result));
}

void BatchRun::FailLaunch(JobId id, const PlannedLine& line, const LaunchResult& launch) {
    ActiveJob* job = FindActive(id);
    if (job == nullptr) {
        return;
    }
    JobResult result = job->NotStarted(line, launch.failure, book_);
    lastElapsedSeconds_ = job->elapsedSeconds;
    active_.erase(active_.begin() + (job - active_.data()));
    // The job stays in the list, marked, and the run ends once nothing else runs. Reported
    // while the run is still active, so that a StartRun from the handler cannot retry the same
    // line at once.
    jobs_.SetStatus(id, JobStatus{JobState::NotStarted, result.elapsedSeconds,
                                  ProgramNameOf(line, jobs_.Style())});
    ending_ = RunEndReason::LaunchFailed;
    Report(std::move(result));
}

void BatchRun::EndRun(RunEnd end) {
    runActive_ = false;
    stopEnabled_ = false;
    ending_.reset();
    end.tally = tally_;
    ReportStopEnabled();
    if (observer_ != nullptr) {
        observer_->RunEnded(end);
    }
}

void BatchRun::Report(JobResult result) {
    tally_.Add(result.outcome);
    if (observer_ != nullptr) {
        observer_->JobEnded(result);
    }
}

void BatchRun::UpdateStopEnabled() {
    stopEnabled_ = std::any_of(active_.begin(), active_.end(),
                               [](const ActiveJob& job) { return !job.stopped; });
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

std::vector<ConvertingShare> BatchRun::Shares() const {
    std::vector<ConvertingShare> shares;
    shares.reserve(active_.size());
    for (const ActiveJob& job : active_) {
        shares.push_back(job.Share(progress_.Follows()));
    }
    return shares;
}

void BatchRun::AskLengths() {
    progress_.AskLengths(Shares(), runActive_);
}

void BatchRun::Tick() {
    if (!runActive_) {
        return;
    }
    // Between a stop and the end of the stopped command no job is being converted: the new
    // head keeps waiting until its own job starts.
    std::vector<std::pair<JobId, std::int32_t>> shown;
    for (ActiveJob& job : active_) {
        if (!job.stopped) {
            shown.emplace_back(job.id, job.TickSeconds());
        }
    }
    for (const auto& [id, seconds] : shown) {
        jobs_.SetStatus(id, JobStatus{JobState::Converting, seconds, {}});
    }
    if (!progress_.Follows()) {
        return;
    }
    // Progress: only the last few kilobytes of each log are read, whatever its size.
    for (ActiveJob& job : active_) {
        if (!job.stopped) {
            job.FollowLog();
        }
    }
    AskLengths();
    progress_.Tick(Shares());
}

bool BatchRun::IsActive(JobId id) const {
    return std::any_of(active_.begin(), active_.end(),
                       [id](const ActiveJob& job) { return job.id == id; });
}

std::optional<JobProgress> BatchRun::ProgressOf(JobId id) const {
    for (const ActiveJob& job : active_) {
        if (job.id == id && !job.stopped) {
            return job.Progress(planner_.Style());
        }
    }
    return std::nullopt;
}

bool BatchRun::StopJobNow(ActiveJob& job) {
    if (!job.pending || job.stopped) {
        return false;
    }
    const Pending& pending = *job.pending;
    if (pending.kind == Pending::Kind::Line ? !launcher_.Terminate(pending.handle)
                                            : !prober_->Cancel(pending.ticket)) {
        return false;
    }
    // Every change first, the reports after: a handler that runs a nested event loop may see
    // the stopped command's end arrive and the next job start.
    stopRequested_ = true;
    JobResult result = job.Stopped();
    lastElapsedSeconds_ = job.elapsedSeconds;
    const JobId id = job.id;
    UpdateStopEnabled();
    jobs_.Remove(id);
    ReportStopEnabled();
    Report(std::move(result));
    return true;
}

void BatchRun::StopHead() {
    if (!stopEnabled_) {
        return;
    }
    // The head is the converting job that stands highest in the list.
    ActiveJob* head = nullptr;
    std::int32_t headIndex = std::numeric_limits<std::int32_t>::max();
    for (ActiveJob& job : active_) {
        const std::optional<std::int32_t> index = jobs_.IndexOf(job.id);
        if (!job.stopped && index && *index < headIndex) {
            head = &job;
            headIndex = *index;
        }
    }
    if ((head == nullptr || !StopJobNow(*head)) && observer_ != nullptr) {
        observer_->StopFailed();
    }
}

void BatchRun::FinishAfterCurrent() {
    if (!runActive_) {
        return;
    }
    ending_ = RunEndReason::FinishedEarly;
    Proceed();  // ends the run at once when nothing converts
}

bool BatchRun::StopJob(JobId id) {
    ActiveJob* job = FindActive(id);
    if (job == nullptr || job->stopped) {
        return false;
    }
    if (!StopJobNow(*job)) {
        if (observer_ != nullptr) {
            observer_->StopFailed();
        }
        return false;
    }
    return true;
}

void BatchRun::StopAll() {
    if (!runActive_) {
        return;
    }
    ending_ = RunEndReason::Interrupted;
    std::vector<JobId> running;
    for (const ActiveJob& job : active_) {
        if (!job.stopped) {
            running.push_back(job.id);
        }
    }
    for (const JobId id : running) {
        if (ActiveJob* job = FindActive(id)) {
            StopJobNow(*job);
        }
    }
    stopEnabled_ = false;
    ReportStopEnabled();
    Proceed();
}

}  // namespace palomix
