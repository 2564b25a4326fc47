#include "engine/BatchRun.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

#include "engine/OutputCheck.h"
#include "platform/AtomicFile.h"
#include "platform/CommandLineSplit.h"
#include "platform/FileSystem.h"
#include "platform/LogTail.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// The name of the program a command line starts, for the not-started status: the file name of
// the line's first token, as the line writes it.
std::string ProgramNameOf(const std::string& commandLine, PathStyle style) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    if (candidates.empty()) {
        return {};
    }
    const std::string& program = candidates.front().program;
    const std::string_view name = FileNameOf(program, style);
    return name.empty() ? program : std::string(name);
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

// Length probes running at once, and how long one may take.
constexpr std::size_t kProbesAtOnce = 2;
constexpr std::chrono::seconds kProbeTimeLimit{15};
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

// The line that asks the probe program for an input's length.
std::string LengthProbeLine(const std::string& probe, const std::string& path) {
    return QuoteArgument(probe) + " -v error -show_entries format=duration -of csv=p=0 " +
           QuoteArgument(path);
}

// The arguments of a prepared line, as the policy reads its outputs from them.
std::vector<std::string> ArgumentsOf(const std::string& commandLine) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    return candidates.empty() ? std::vector<std::string>()
                              : SplitArguments(candidates.front().rest);
}

// True when the line writes `path` as media (see NamesMediaOutput).
bool WritesMedia(const std::vector<std::string>& arguments, const std::string& path) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == path && NamesMediaOutput(arguments, i)) {
            return true;
        }
    }
    return false;
}

// Each tick shows the seconds, then advances them: the time shown last is one less.
std::int32_t ShownSeconds(std::int32_t elapsed) {
    return elapsed > 0 ? elapsed - 1 : 0;
}

}  // namespace

BatchRun::BatchRun(JobQueue& jobs, ProcessLauncher& launcher, DeviceAccess& devices,
                   IniReader& reader, const RunPolicy& policy, RunInputs inputs)
    : jobs_(jobs),
      launcher_(launcher),
      devices_(devices),
      reader_(reader),
      policy_(policy),
      inputs_(std::move(inputs)),
      runOutputs_(policy.Style()) {}

BatchRun::~BatchRun() {
    // alive_ goes with the run, so the ends of these processes, when the host delivers them,
    // find nothing to call.
    for (const ActiveJob& job : active_) {
        if (job.pending && !job.stopped) {
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

void BatchRun::StartRun() {
    if (runActive_) {
        // The active run reaches the rows added since it started; a second start would run
        // the head job twice.
        return;
    }
    runActive_ = true;
    ending_.reset();
    runOutputs_.Clear();  // outputs of earlier runs count as files from before this one
    runSeconds_ = 0;
    runMediaDone_ = 0;
    queue_ = QueueProgress{};
    if (jobs_.Empty()) {
        stopEnabled_ = true;
        ReportStopEnabled();
        EndRun(RunEndReason::QueueEmpty);
        return;
    }
    templatesLooked_ = false;
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
    const std::optional<ChosenCommand> chosen = Chosen();
    if (!chosen) {
        if (active_.empty()) {
            ending_ = RunEndReason::NothingSelected;
        }
        return false;
    }
    // The job's lines are checked against what cores/ffmpeg offers: while its lists are being
    // read, the job waits (ConverterRead goes on).
    using ConverterState = ConverterFeatureReader::State;
    const ConverterState converter =
        inputs_.converter != nullptr ? inputs_.converter->Look() : ConverterState::Absent;
    waitingForConverter_ = converter == ConverterState::Reading;
    if (waitingForConverter_) {
        return false;
    }
    const JobId id = jobs_.Id(*next);
    const std::string path = jobs_.JobPath(*next);
    std::string outputFolder = inputs_.outputFolder ? inputs_.outputFolder() : std::string();
    if (!outputFolder.empty() && inputs_.keepTree && inputs_.keepTree() &&
        !jobs_.Subfolder(*next).empty()) {
        outputFolder = JoinPath(outputFolder, jobs_.Subfolder(*next), policy_.Style());
    }
    if (!outputFolder.empty()) {
        // A folder that cannot be made would fail every job the same way: the run ends once,
        // saying why, and the jobs stay.
        if (const std::error_code error = devices_.MakeFolders(outputFolder)) {
            if (active_.empty()) {
                EndRun(RunEnd{RunEndReason::OutputFolderUnusable, outputFolder, error});
            } else {
                ending_ = RunEndReason::OutputFolderUnusable;
            }
            return false;
        }
    }

    // The job's outputs get their names before anything runs; a job that cannot or need not
    // convert ends here.
    const CommandDefinition* command = Command(*chosen);
    OutputChoice choice;
    if (command != nullptr) {
        const ExistingOutputs existing =
            inputs_.existingOutputs ? inputs_.existingOutputs() : ExistingOutputs::Overwrite;
        PlanningDeviceAccess planning(devices_);
        choice = ChooseOutputName(
            [&](const std::string& name) {
                return policy_.PlanJob(command, chosen->settingsFile,
                                       JobInputs{path, outputFolder, name}, planning);
            },
            path, existing, runOutputs_, policy_.Style());
        switch (choice.problem) {
            case JobProblem::NotConvertible:
            case JobProblem::OutputExists:
                EndUnstarted(id, path, JobOutcome::Skipped, choice.problem,
                             std::move(choice.problemSubject));
                return true;
            case JobProblem::TooLargeForPlayer:
            case JobProblem::NoFreeName:
                EndUnstarted(id, path, JobOutcome::Failed, choice.problem,
                             std::move(choice.problemSubject));
                return true;
            default:
                break;  // the others show as the job's lines are worked through
        }
        if (converter == ConverterState::Known) {
            const std::vector<ConverterNeed> missing = MissingNeeds(
                NeedsOfLines(choice.plan.lines, inputs_.converter->Program(), policy_.Style()),
                inputs_.converter->Features());
            if (!missing.empty()) {
                EndUnstarted(id, path, JobOutcome::Failed,
                             missing.front().kind == ConverterNeed::Kind::Encoder
                                 ? JobProblem::EncoderMissing
                                 : JobProblem::FormatMissing,
                             missing.front().name);
                return true;
            }
        }
    }

    ActiveJob job;
    job.id = id;
    job.result.id = id;
    job.result.path = path;
    job.outputFolder = outputFolder;
    job.outputName = choice.name;
    job.result.outputName = choice.name;
    for (const LineOutput& output : choice.plan.Outputs()) {
        job.result.outputs.push_back(output.path);
        runOutputs_.Add(output.path);  // being made: no other job of the run takes it
    }
    job.progress.Start(
        static_cast<int>(std::count_if(choice.plan.lines.begin(), choice.plan.lines.end(),
                                       [](const PlannedLine& line) { return line.Runs(); })));
    if (const auto known = durations_.find(path); known != durations_.end()) {
        job.progress.SetDuration(known->second);
    }
    const JobStart start{job.id, job.result.path, job.outputName};
    active_.push_back(std::move(job));
    ProbeDurations();
    // The job's time starts at zero and shows at once.
    jobs_.SetStatus(start.id, JobStatus{JobState::Converting, 0, {}});
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

const CommandDefinition* BatchRun::Command(const ChosenCommand& command) {
    // The file is looked at afresh whenever the run goes on after a wait, so an edit made while
    // a command runs counts from the next template. The templates read without a wait in between
    // (the lines not run after a command, or every job that starts no process) share one look.
    // A parsed file never changes, so what was read from it is kept for as long as each look
    // finds the same file unchanged: then a job costs one look per command.
    if (templatesLooked_ && command_ && command_->command == command) {
        return command_->document ? &command_->definition : nullptr;
    }
    templatesLooked_ = true;
    std::shared_ptr<const IniDocument> document = reader_.TryDocument(command.settingsFile);
    if (!command_ || !(command_->command == command) || command_->document != document) {
        CommandDefinition definition;
        if (document) {
            definition.templates = ReadCommandTemplates(*document, command.itemNumber);
            definition.extensions = ReadCommandExtensions(*document, command.itemNumber);
        }
        command_ = CommandCache{command, std::move(document), std::move(definition)};
    }
    return command_->document ? &command_->definition : nullptr;
}

void BatchRun::Advance(JobId id) {
    for (;;) {
        ActiveJob* job = FindActive(id);
        if (job == nullptr) {
            return;
        }
        if (job->nextTemplate >= kCommandTemplateCount) {
            if (!CheckOutputs(*job)) {
                FinishJob(id);
            }
            return;
        }
        const std::optional<ChosenCommand> chosen = Chosen();
        if (!chosen) {
            job->nextTemplate = kCommandTemplateCount;  // the rest read as empty
            continue;
        }
        const CommandDefinition* command = Command(*chosen);
        if (command == nullptr) {
            job->result.problem = JobProblem::SettingsUnreadable;
            job->result.problemSubject = chosen->settingsFile;
            job->nextTemplate = kCommandTemplateCount;
            continue;
        }
        const std::vector<CommandTemplate>& templates = command->templates;
        const auto next = std::lower_bound(
            templates.begin(), templates.end(), job->nextTemplate,
            [](const CommandTemplate& t, int number) { return t.number < number; });
        if (next == templates.end()) {
            job->nextTemplate = kCommandTemplateCount;
            continue;
        }
        job->nextTemplate = next->number + 1;
        if (ending_ == RunEndReason::Interrupted) {
            // Stopped between two of its commands: nothing more of it runs.
            job->result.outcome = JobOutcome::Stopped;
            FinishJob(id);
            return;
        }
        std::optional<PlannedLine> line = policy_.PlanLine(
            *next,
            JobInputs{job->result.path, job->outputFolder,
                      job->outputName.empty() ? std::string() : PartName(job->outputName)},
            devices_);
        if (!line) {
            continue;
        }
        if (!line->Runs()) {
            CommandRecord record;
            record.templateNumber = line->templateNumber;
            record.commandLine = std::move(line->commandLine);
            record.state = CommandState::NotRun;
            record.notRun = *line->notRun;
            job->result.commands.push_back(std::move(record));
            continue;
        }
        // A player's card takes one writer at a time: the line waits while another job's line
        // writes to the same player, and is prepared again when its turn comes.
        job->waitsForPlayer.clear();
        for (const LineOutput& output : line->outputs) {
            if (!output.drive.empty() && PlayerBusy(output.drive)) {
                job->waitsForPlayer = output.drive;
                job->nextTemplate = line->templateNumber;
                return;
            }
        }
        const std::vector<std::string> arguments = ArgumentsOf(line->commandLine);
        const LengthLimit limit = LengthLimitOfArguments(arguments);
        for (const LineOutput& output : line->outputs) {
            auto known =
                std::find_if(job->temporary.begin(), job->temporary.end(),
                             [&](const Written& w) { return w.output.path == output.path; });
            if (known == job->temporary.end()) {
                known = job->temporary.insert(known, Written{output, false, {}});
            }
            if (WritesMedia(arguments, output.path)) {
                known->media = true;
                known->limit |= limit;
            }
        }
        Launch(*job, *line);
        return;
    }
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
    std::vector<std::string> drives;
    for (const LineOutput& output : line.outputs) {
        if (!output.drive.empty()) {
            drives.push_back(output.drive);
        }
    }
    job.pending = Pending{launch.handle, line.templateNumber, std::move(drives), line.commandLine,
                          launch.logPath};
    job.progress.LineStarted();
    if (observer_ != nullptr) {
        observer_->CommandStarted(CommandStart{job.id, line.templateNumber, line.commandLine});
    }
    return true;
}

void BatchRun::OnProcessEnded(ProcessHandle handle, ProcessExit exit) {
    if (std::any_of(probes_.begin(), probes_.end(),
                    [handle](const Probe& probe) { return probe.handle == handle; })) {
        OnProbeEnded(handle, exit);
        return;
    }
    const auto found = std::find_if(active_.begin(), active_.end(), [handle](const ActiveJob& j) {
        return j.pending && j.pending->handle == handle;
    });
    if (found == active_.end()) {
        return;  // not a process the run waits for
    }
    const Pending ended = std::move(*found->pending);
    found->pending.reset();
    if (found->stopped) {
        // The end of a stopped command: its job was recorded and removed by the stop; what it
        // wrote goes now that it can write no more.
        DiscardOutputs(*found);
        active_.erase(found);
        stopRequested_ = std::any_of(active_.begin(), active_.end(),
                                     [](const ActiveJob& job) { return job.stopped; });
        launcher_.DiscardLog(handle);
        templatesLooked_ = false;
        Proceed();
        return;
    }
    if (ended.check != Pending::Check::None) {
        OnCheckEnded(*found, ended, exit);
        launcher_.DiscardLog(handle);
        Proceed();
        return;
    }
    CommandRecord record;
    record.templateNumber = ended.templateNumber;
    record.commandLine = ended.commandLine;
    record.state = exit.Succeeded() ? CommandState::Succeeded : CommandState::Failed;
    record.exit = exit;
    if (!ended.logPath.empty()) {
        found->progress.Update(ProgressInLog(TailOf(ended.logPath, kProgressTailBytes)));
    }
    found->progress.LineEnded();
    if (!exit.Succeeded() && !ended.logPath.empty()) {
        // Its messages, without the statistics lines that only told how far it had come.
        std::vector<std::string> lines = LastLines(ended.logPath, kFailedCommandLogLines * 4);
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const std::string& line) { return IsStatisticsLine(line); }),
                    lines.end());
        if (lines.size() > kFailedCommandLogLines) {
            lines.erase(lines.begin(), lines.end() - kFailedCommandLogLines);
        }
        record.logTail = std::move(lines);
    }
    found->result.commands.push_back(std::move(record));
    launcher_.DiscardLog(handle);
    templatesLooked_ = false;
    Proceed();
}

void BatchRun::FinishJob(JobId id) {
    ActiveJob* job = FindActive(id);
    if (job == nullptr) {
        return;
    }
    if (job->result.outcome != JobOutcome::Stopped) {
        job->result.outcome = OutcomeOf(job->result);
    }
    if (job->result.outcome == JobOutcome::Done && !KeepOutputs(*job)) {
        job->result.outcome = JobOutcome::Failed;
    }
    if (job->result.outcome != JobOutcome::Done) {
        DiscardOutputs(*job);
    }
    JobResult result = std::move(job->result);
    result.elapsedSeconds = ShownSeconds(job->elapsedSeconds);
    lastElapsedSeconds_ = job->elapsedSeconds;
    runMediaDone_ += job->progress.Duration().value_or(0.0);
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
    DiscardOutputs(*job);
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
                                  ProgramNameOf(line.commandLine, jobs_.Style())});
    ending_ = RunEndReason::LaunchFailed;
    Report(std::move(result));
}

bool BatchRun::CheckOutputs(ActiveJob& job) {
    if (!job.nextCheck) {
        // Only the media files of a job that has succeeded so far are checked.
        const bool succeeded = job.result.outcome != JobOutcome::Stopped &&
                               job.result.problem == JobProblem::None &&
                               job.result.FirstProblem() == nullptr && job.result.CommandsRun() > 0;
        if (!succeeded || std::none_of(job.temporary.begin(), job.temporary.end(),
                                       [](const Written& written) { return written.media; })) {
            return false;
        }
        if (inputs_.probeProgram.empty() || probingFailed_) {
            job.result.outputsNotChecked = probingFailed_ || inputs_.noteUncheckedOutputs;
            return false;
        }
        job.nextCheck = 0;
        // The input's length first, unless it is known: the probe asking for it becomes the
        // job's own, or one is started.
        const std::string& input = job.result.path;
        if (durations_.count(input) == 0) {
            const auto running =
                std::find_if(probes_.begin(), probes_.end(),
                             [&input](const Probe& probe) { return probe.path == input; });
            if (running == probes_.end()) {
                return LaunchCheck(job, Pending::Check::InputLength,
                                   LengthProbeLine(inputs_.probeProgram, input));
            }
            job.pending =
                Pending{running->handle, 0, {}, {}, running->logPath, Pending::Check::InputLength};
            probes_.erase(running);
            return true;
        }
    }
    while (*job.nextCheck < job.temporary.size()) {
        const Written& written = job.temporary[*job.nextCheck];
        if (!written.media) {
            ++*job.nextCheck;
            continue;
        }
        const std::optional<std::int64_t> size = FileSizeOf(written.output.path);
        if (!size || *size == 0) {
            job.result.problem = size ? JobProblem::OutputEmpty : JobProblem::OutputMissing;
            job.result.problemSubject = written.output.Renamed(job.outputName, policy_.Style());
            return false;
        }
        return LaunchCheck(job, Pending::Check::Output,
                           QuoteArgument(inputs_.probeProgram) + " " +
                               std::string(kOutputProbeArguments) + " " +
                               QuoteArgument(written.output.path));
    }
    return false;
}

LaunchResult BatchRun::LaunchProbe(const std::string& line, bool lowPriority) {
    LaunchOptions options;
    options.lowPriority = lowPriority;
    options.timeLimit = kProbeTimeLimit;
    const std::weak_ptr<AliveToken> alive = alive_;
    return launcher_.Launch(line, options, [this, alive](ProcessHandle handle, ProcessExit exit) {
        if (alive.lock()) {
            OnProcessEnded(handle, exit);
        }
    });
}

bool BatchRun::LaunchCheck(ActiveJob& job, Pending::Check check, const std::string& line) {
    const LaunchResult launch = LaunchProbe(line, maxActive_ > 1);  // as the job's lines run
    if (!launch.launched) {
        // No probe, no check: the job is done as its lines say, with a note.
        probingFailed_ = true;
        job.result.outputsNotChecked = true;
        return false;
    }
    job.pending = Pending{launch.handle, 0, {}, line, launch.logPath, check};
    return true;
}

void BatchRun::OnCheckEnded(ActiveJob& job, const Pending& ended, ProcessExit exit) {
    std::string answer;
    if (!ended.logPath.empty()) {
        try {
            answer = ReadFileBytes(ended.logPath).value_or(std::string());
        } catch (const std::exception&) {
            // An unreadable answer is none.
        }
    }
    const std::string& input = job.result.path;
    if (ended.check == Pending::Check::InputLength) {
        const std::optional<double> length =
            exit.Succeeded() ? DurationFromProbe(answer) : std::nullopt;
        durations_[input] = length;
        if (!job.progress.Duration()) {
            job.progress.SetDuration(length);
        }
        return;
    }
    const Written& written = job.temporary[*job.nextCheck];
    const auto known = durations_.find(input);
    const OutputVerdict verdict =
        JudgeOutput(ReadOutputProbe(answer, exit.Succeeded()),
                    known == durations_.end() ? std::nullopt : known->second, written.limit,
                    written.output.path, policy_.Style());
    if (verdict.problem == JobProblem::None) {
        ++*job.nextCheck;
        return;
    }
    job.result.problem = verdict.problem;
    job.result.problemSubject = written.output.Renamed(job.outputName, policy_.Style());
    job.result.lengths = verdict.lengths;
    job.nextCheck = job.temporary.size();
}

bool BatchRun::KeepOutputs(ActiveJob& job) {
    for (const Written& written : job.temporary) {
        const LineOutput& output = written.output;
        if (!PathExists(output.path)) {
            continue;  // a line that did not write this one
        }
        const std::string final = output.Renamed(job.outputName, policy_.Style());
        if (RenameOver(output.path, final)) {
            job.result.problem = JobProblem::OutputNotKept;
            job.result.problemSubject = final;
            return false;
        }
        if (std::find(job.result.outputs.begin(), job.result.outputs.end(), final) ==
            job.result.outputs.end()) {
            job.result.outputs.push_back(final);
        }
        runOutputs_.Add(final);
        if (inputs_.keepDates && inputs_.keepDates()) {
            CopyModificationTime(job.result.path, final);  // a date that cannot be set is no fault
        }
    }
    return true;
}

void BatchRun::DiscardOutputs(const ActiveJob& job) {
    for (const Written& written : job.temporary) {
        RemoveFile(written.output.path);
    }
    // Outputs it did not make are free for the jobs after it.
    for (const std::string& output : job.result.outputs) {
        runOutputs_.Remove(output);
    }
}

void BatchRun::EndRun(RunEndReason reason) {
    EndRun(RunEnd{reason, {}, {}});
}

void BatchRun::EndRun(const RunEnd& end) {
    runActive_ = false;
    stopEnabled_ = false;
    ending_.reset();
    ReportStopEnabled();
    if (observer_ != nullptr) {
        observer_->RunEnded(end);
    }
}

void BatchRun::Report(JobResult result) {
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

void BatchRun::Tick() {
    if (!runActive_) {
        return;
    }
    // Between a stop and the end of the stopped command no job is being converted: the new
    // head keeps "Wait..." until its own job starts.
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
    if (!followProgress_) {
        return;
    }
    // Progress: only the last few kilobytes of each log are read, whatever its size.
    for (ActiveJob& job : active_) {
        if (job.stopped) {
            continue;
        }
        if (job.pending && job.pending->check == Pending::Check::None &&
            !job.pending->logPath.empty()) {
            job.progress.Update(ProgressInLog(TailOf(job.pending->logPath, kProgressTailBytes)));
        }
        job.progress.Tick();
    }
    ++runSeconds_;
    ProbeDurations();
    UpdateQueueProgress();
}

bool BatchRun::IsActive(JobId id) const {
    return std::any_of(active_.begin(), active_.end(),
                       [id](const ActiveJob& job) { return job.id == id; });
}

std::optional<JobProgress> BatchRun::ProgressOf(JobId id) const {
    for (const ActiveJob& job : active_) {
        if (job.id == id && !job.stopped) {
            JobProgress now = job.progress.Now();
            if (!job.outputName.empty() &&
                job.outputName != BaseNameOf(job.result.path, policy_.Style())) {
                now.renamedTo = job.outputName;
            }
            return now;
        }
    }
    return std::nullopt;
}

void BatchRun::UpdateQueueProgress() {
    queue_ = QueueProgress{};
    queue_.jobsLeft = jobs_.JobCount();
    // The media seconds of the run: done, and still to do. A job whose length is not known yet
    // leaves the whole unknown; one without a length (a picture) counts for nothing.
    double done = runMediaDone_;
    double left = 0;
    for (std::int32_t index = 0; index < jobs_.JobCount(); ++index) {
        const JobId id = jobs_.Id(index);
        const ActiveJob* job = nullptr;
        for (const ActiveJob& active : active_) {
            if (active.id == id) {
                job = &active;
            }
        }
        std::optional<double> length;
        if (job != nullptr && job->progress.Duration()) {
            length = job->progress.Duration();
            done += job->progress.MediaDone();
            left += *length - job->progress.MediaDone();
            continue;
        }
        const auto known = durations_.find(jobs_.JobPath(index));
        if (known == durations_.end()) {
            return;  // not probed yet
        }
        left += known->second.value_or(0.0);
    }
    if (done + left <= 0) {
        return;
    }
    queue_.percent = std::clamp(done / (done + left) * 100, 0.0, 100.0);
    if (runSeconds_ >= 2 && done > 0) {
        const double rate = done / static_cast<double>(runSeconds_);  // media seconds a second
        queue_.secondsLeft = static_cast<std::int64_t>(std::llround(left / rate));
    }
}

void BatchRun::ProbeDurations() {
    if (inputs_.probeProgram.empty() || probingFailed_ || !runActive_) {
        return;
    }
    const auto wanted = [this](const std::string& path) {
        return durations_.count(path) == 0 &&
               std::none_of(probes_.begin(), probes_.end(),
                            [&path](const Probe& probe) { return probe.path == path; }) &&
               std::none_of(active_.begin(), active_.end(), [&path](const ActiveJob& job) {
                   return job.pending && job.pending->check == Pending::Check::InputLength &&
                          job.result.path == path;  // asked for by the check of its outputs
               });
    };
    // The converting jobs first: their percentages wait for it, and so does the check of their
    // outputs once they are done (asked for now, the length is there by then).
    for (const ActiveJob& job : active_) {
        if (probes_.size() < kProbesAtOnce + active_.size() && !job.stopped &&
            (followProgress_ || !job.result.outputs.empty()) && !job.progress.Duration() &&
            wanted(job.result.path)) {
            if (!StartProbe(job.result.path)) {
                return;
            }
        }
    }
    if (!followProgress_) {
        return;  // the waiting jobs' lengths only serve the queue's progress
    }
    for (std::int32_t index = 0; index < jobs_.JobCount() && probes_.size() < kProbesAtOnce;
         ++index) {
        const std::string& path = jobs_.JobPath(index);
        if (wanted(path) && !StartProbe(path)) {
            return;
        }
    }
}

bool BatchRun::StartProbe(const std::string& path) {
    const LaunchResult launch =
        LaunchProbe(LengthProbeLine(inputs_.probeProgram, path), /*lowPriority=*/true);
    if (!launch.launched) {
        probingFailed_ = true;  // no lengths, so no percentages; the conversions go on
        return false;
    }
    probes_.push_back(Probe{launch.handle, path, launch.logPath});
    return true;
}

void BatchRun::OnProbeEnded(ProcessHandle handle, ProcessExit exit) {
    const auto found = std::find_if(probes_.begin(), probes_.end(), [handle](const Probe& probe) {
        return probe.handle == handle;
    });
    const Probe probe = *found;
    probes_.erase(found);
    std::optional<double> length;
    if (exit.Succeeded() && !probe.logPath.empty()) {
        try {
            if (const auto bytes = ReadFileBytes(probe.logPath)) {
                length = DurationFromProbe(*bytes);
            }
        } catch (const std::exception&) {
            // An unreadable answer is no length.
        }
    }
    launcher_.DiscardLog(handle);
    durations_[probe.path] = length;
    for (ActiveJob& job : active_) {
        if (job.result.path == probe.path && !job.progress.Duration()) {
            job.progress.SetDuration(length);
        }
    }
    ProbeDurations();
}

bool BatchRun::StopJobNow(ActiveJob& job) {
    if (!job.pending || job.stopped || !launcher_.Terminate(job.pending->handle)) {
        return false;
    }
    // Every change first, the reports after: a handler that runs a nested event loop may see
    // the stopped command's end arrive and the next job start.
    stopRequested_ = true;
    job.stopped = true;
    CommandRecord record;
    record.templateNumber = job.pending->templateNumber;
    record.commandLine = job.pending->commandLine;
    record.state = CommandState::Stopped;
    JobResult result = std::move(job.result);
    job.result = JobResult{};
    job.result.outputs = result.outputs;  // freed once the process has ended
    if (job.pending->check == Pending::Check::None) {
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
    if (head == nullptr || !StopJobNow(*head)) {
        if (observer_ != nullptr) {
            observer_->StopFailed();
        }
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
