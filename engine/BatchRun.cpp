#include "engine/BatchRun.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "platform/LogTail.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// The name of the program a line starts, for the not-started status: its file name.
std::string ProgramNameOf(const PlannedLine& line, PathStyle style) {
    const std::string_view name = FileNameOf(line.program, style);
    return name.empty() ? line.program : std::string(name);
}

// The job's outcome from what its lines came to.
JobOutcome OutcomeOf(JobResult& result) {
    if (result.problem != JobProblem::None || result.FirstProblem() != nullptr) {
        return JobOutcome::Failed;
    }
    if (result.CommandsRun() == 0) {
        result.problem = JobProblem::NothingToRun;
        return JobOutcome::Failed;
    }
    return JobOutcome::Done;
}

// What a converter writes when the file system refuses a file that large (EFBIG).
constexpr std::string_view kFileTooLarge = "File too large";

// How much of a converting log is read at each tick: the statistics lines are at its end.
constexpr std::size_t kProgressTailBytes = 4096;

// The last bytes of a log, at most `count`.
std::string TailOf(const std::string& path, std::size_t count) {
    std::string text;
    for (const std::string& line : LastLines(path, 64, count)) {
        text += line;
        text += '\n';
    }
    return text;
}

// Its messages, without the statistics lines that only told how far it had come.
std::vector<std::string> MessagesOf(const std::string& logPath) {
    std::vector<std::string> lines = LastLines(logPath, kFailedCommandLogLines * 4);
    std::erase_if(lines, [](const std::string& line) { return IsStatisticsLine(line); });
    if (lines.size() > kFailedCommandLogLines) {
        lines.erase(lines.begin(), lines.end() - kFailedCommandLogLines);
    }
    return lines;
}

// Each tick shows the seconds, then advances them: the time shown last is one less.
std::int32_t ShownSeconds(std::int32_t elapsed) {
    return elapsed > 0 ? elapsed - 1 : 0;
}

}  // namespace

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
        EndRun(RunEndReason::QueueEmpty);
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
        EndRun(ending_.value_or(RunEndReason::QueueEmpty));
    }
    return false;
}

void BatchRun::ConverterRead() {
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
    return std::any_of(active_.begin(), active_.end(), [&drive](const ActiveJob& job) {
        return job.pending &&
               std::find(job.pending->playerDrives.begin(), job.pending->playerDrives.end(),
                         drive) != job.pending->playerDrives.end();
    });
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
    const PlanChoices choices = inputs_.choices ? inputs_.choices() : PlanChoices{};
    if (!MakeOutputFolder(planner_.OutputFolderFor(jobs_.Subfolder(*next), choices))) {
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
    Begin(id, path, own != nullptr ? std::optional<ChosenCommand>(*own) : std::nullopt,
          std::move(planned));
    return true;
}

void BatchRun::Begin(JobId id, const std::string& path, std::optional<ChosenCommand> own,
                     PlannedJob planned) {
    ActiveJob job;
    job.id = id;
    job.ownCommand = std::move(own);
    job.result.id = id;
    job.result.path = path;
    job.outputFolder = planned.plan.outputFolder;
    job.result.outputName = planned.outputName;
    job.outputs = JobOutputs(std::move(planned.outputName), planner_.Style());
    for (const LineOutput& output : planned.plan.Outputs()) {
        job.result.outputs.push_back(output.path);
        book_.Add(output.path);  // being made: no other job of the run takes it
    }
    job.progress.Start(
        static_cast<int>(std::count_if(planned.plan.lines.begin(), planned.plan.lines.end(),
                                       [](const PlannedLine& line) { return line.Runs(); })));
    if (const InputLengths* known = progress_.LengthOf(path)) {
        job.progress.SetDuration(known->whole);
    }
    const JobStart start{job.id, job.result.path, job.outputs.OutputName()};
    active_.push_back(std::move(job));
    AskLengths();
    // The job's time starts at zero and shows at once.
    jobs_.SetStatus(start.id, JobStatus{JobState::Converting, 0, {}});
    active_.back().elapsedSeconds = 1;
    stopEnabled_ = true;
    ReportStopEnabled();
    if (observer_ != nullptr) {
        observer_->JobStarted(start);
    }
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
            if (!CheckOutputs(*job)) {
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
        const std::string& name = job->outputs.OutputName();
        std::optional<PlannedLine> line =
            planner_.PlanLine(*next, JobInputs{job->result.path, job->outputFolder,
                                               name.empty() ? std::string() : PartName(name)});
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
    job.outputs.LineStarts(line);
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
    Pending pending;
    pending.handle = launch.handle;
    pending.templateNumber = line.templateNumber;
    for (const LineOutput& output : line.outputs) {
        if (!output.drive.empty()) {
            pending.playerDrives.push_back(output.drive);
        }
    }
    pending.commandLine = line.commandLine;
    pending.logPath = launch.logPath;
    job.pending = std::move(pending);
    job.progress.LineStarted();
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
        OnLineEnded(*found, ended, exit);
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
        OnCheckAnswered(*found, ended, answer);
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

void BatchRun::OnLineEnded(ActiveJob& job, const Pending& ended, ProcessExit exit) {
    CommandRecord record;
    record.templateNumber = ended.templateNumber;
    record.commandLine = ended.commandLine;
    record.state = exit.Succeeded() ? CommandState::Succeeded : CommandState::Failed;
    record.exit = exit;
    if (!ended.logPath.empty()) {
        job.progress.Update(ProgressInLog(TailOf(ended.logPath, kProgressTailBytes)));
        if (!exit.Succeeded()) {
            record.logTail = MessagesOf(ended.logPath);
            // A FAT volume refuses a file past 4 GiB; the converter says so in the system's
            // words.
            const bool cardFull = std::any_of(
                record.logTail.begin(), record.logTail.end(), [](const std::string& line) {
                    return line.find(kFileTooLarge) != std::string::npos;
                });
            if (cardFull && job.result.problem == JobProblem::None && !job.result.outputs.empty()) {
                job.result.problem = JobProblem::TooLargeForPlayer;
                job.result.problemSubject = job.result.outputs.front();
            }
        }
    }
    job.progress.LineEnded();
    job.result.commands.push_back(std::move(record));
}

void BatchRun::FinishJob(JobId id) {
    ActiveJob* job = FindActive(id);
    if (job == nullptr) {
        return;
    }
    if (job->result.outcome != JobOutcome::Stopped) {
        job->result.outcome = OutcomeOf(job->result);
    }
    if (job->result.outcome == JobOutcome::Done &&
        !job->outputs.Keep(job->result, book_, inputs_.keepDates && inputs_.keepDates())) {
        job->result.outcome = JobOutcome::Failed;
    }
    if (job->result.outcome != JobOutcome::Done) {
        job->outputs.Discard(job->result, book_);
    }
    JobResult result = std::move(job->result);
    result.elapsedSeconds = ShownSeconds(job->elapsedSeconds);
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
    CommandRecord record;
    record.templateNumber = line.templateNumber;
    record.commandLine = line.commandLine;
    record.state = CommandState::NotLaunched;
    record.launchFailure = launch.failure;
    job->outputs.Discard(job->result, book_);
    JobResult result = std::move(job->result);
    result.commands.push_back(std::move(record));
    result.outcome = JobOutcome::NotStarted;
    result.elapsedSeconds = ShownSeconds(job->elapsedSeconds);
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

bool BatchRun::CheckOutputs(ActiveJob& job) {
    if (!job.outputs.CheckBegun()) {
        // Only the media files of a job that has succeeded so far are checked.
        const bool succeeded = job.result.outcome != JobOutcome::Stopped &&
                               job.result.problem == JobProblem::None &&
                               job.result.FirstProblem() == nullptr && job.result.CommandsRun() > 0;
        if (!succeeded || !job.outputs.AnyMedia()) {
            return false;
        }
        if (prober_ == nullptr || progress_.ProbingFailed()) {
            job.result.outputsNotChecked =
                progress_.ProbingFailed() || inputs_.noteUncheckedOutputs;
            return false;
        }
        job.outputs.BeginCheck();
        // The input's length first, unless it is known: the question asking for it becomes the
        // job's own, or one is asked.
        const std::string& input = job.result.path;
        if (progress_.LengthOf(input) == nullptr) {
            if (const std::optional<ProbeTicket> running = progress_.TakeOver(input)) {
                Pending pending;
                pending.kind = Pending::Kind::InputLength;
                pending.ticket = *running;
                job.pending = std::move(pending);
                return true;
            }
            return Ask(job, Pending::Kind::InputLength, input);
        }
    }
    if (const std::optional<std::string> output = job.outputs.NextToProbe(job.result)) {
        return Ask(job, Pending::Kind::Output, *output);
    }
    return false;
}

bool BatchRun::Ask(ActiveJob& job, Pending::Kind kind, const std::string& path) {
    const std::optional<ProbeTicket> ticket = prober_->Ask(
        path, kind == Pending::Kind::InputLength ? ProbeKind::Length : ProbeKind::Output,
        maxActive_ > 1);  // as the job's lines run
    if (!ticket) {
        // No probe, no check: the job is done as its lines say, with a note.
        progress_.SetProbingFailed();
        job.result.outputsNotChecked = true;
        return false;
    }
    Pending pending;
    pending.kind = kind;
    pending.ticket = *ticket;
    job.pending = std::move(pending);
    return true;
}

void BatchRun::OnCheckAnswered(ActiveJob& job, const Pending& ended, const ProbeAnswer& answer) {
    const std::string& input = job.result.path;
    if (ended.kind == Pending::Kind::InputLength) {
        progress_.Record(input, answer);
        return;
    }
    const InputLengths* known = progress_.LengthOf(input);
    job.outputs.Judge(answer.media, known != nullptr ? *known : InputLengths{}, job.result);
}

void BatchRun::EndRun(RunEndReason reason) {
    EndRun(RunEnd{reason, {}, {}, {}});
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
        const bool checkAsks = job.pending && job.pending->kind == Pending::Kind::InputLength;
        shares.push_back(ConvertingShare{job.id, &job.result.path, &job.progress,
                                         !job.stopped && !checkAsks && !job.progress.Duration() &&
                                             (progress_.Follows() || !job.result.outputs.empty()),
                                         checkAsks});
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
            shown.emplace_back(job.id, job.elapsedSeconds);
            if (job.elapsedSeconds < std::numeric_limits<std::int32_t>::max()) {
                ++job.elapsedSeconds;
            }
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
        if (job.stopped) {
            continue;
        }
        if (job.pending && job.pending->kind == Pending::Kind::Line &&
            !job.pending->logPath.empty()) {
            job.progress.Update(ProgressInLog(TailOf(job.pending->logPath, kProgressTailBytes)));
        }
        job.progress.Tick();
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
            JobProgress now = job.progress.Now();
            const std::string& name = job.outputs.OutputName();
            if (!name.empty() && name != BaseNameOf(job.result.path, planner_.Style())) {
                now.renamedTo = name;
            }
            return now;
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
    job.stopped = true;
    JobResult result = std::move(job.result);
    job.result = JobResult{};
    job.result.outputs = result.outputs;  // freed once the process has ended
    if (pending.kind == Pending::Kind::Line) {
        CommandRecord record;
        record.templateNumber = pending.templateNumber;
        record.commandLine = pending.commandLine;
        record.state = CommandState::Stopped;
        result.commands.push_back(std::move(record));  // a check that was stopped is no command
    }
    result.outcome = JobOutcome::Stopped;
    result.elapsedSeconds = ShownSeconds(job.elapsedSeconds);
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
