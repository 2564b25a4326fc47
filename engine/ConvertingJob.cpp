#include "engine/ConvertingJob.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engine/JobRecords.h"

namespace palomix {

ConvertingJob::ConvertingJob(JobId id, const std::string& path, std::optional<ChosenCommand> own,
                             PlannedJob planned, PathStyle style, TemporaryPlace place)
    : id(id), ownCommand(std::move(own)), outputFolder(planned.plan.outputFolder) {
    result.id = id;
    result.path = path;
    result.outputName = planned.outputName;
    outputs = JobOutputs(std::move(planned.outputName), style, place);
    for (const LineOutput& output : planned.plan.Outputs()) {
        result.outputs.push_back(output.path);
    }
    progress.Start(
        static_cast<int>(std::count_if(planned.plan.lines.begin(), planned.plan.lines.end(),
                                       [](const PlannedLine& line) { return line.Runs(); })));
}

void ConvertingJob::LineStarted(const PlannedLine& line, const LaunchResult& launch) {
    WaitedFor line_;
    line_.handle = launch.handle;
    line_.templateNumber = line.templateNumber;
    for (const LineOutput& output : line.outputs) {
        if (!output.drive.empty()) {
            line_.playerDrives.push_back(output.drive);
        }
    }
    line_.commandLine = line.commandLine;
    line_.logPath = launch.logPath;
    pending = std::move(line_);
    progress.LineStarted();
}

bool ConvertingJob::WritesTo(const std::string& drive) const {
    return pending && std::find(pending->playerDrives.begin(), pending->playerDrives.end(),
                                drive) != pending->playerDrives.end();
}

void ConvertingJob::LineEnded(const WaitedFor& ended, ProcessExit exit) {
    if (!ended.logPath.empty()) {
        progress.Update(ProgressOfLog(ended.logPath));
    }
    progress.LineEnded();
    CommandRecord record =
        EndedLineRecord(ended.templateNumber, ended.commandLine, exit, ended.logPath);
    // A FAT volume refuses a file past 4 GiB: the job fails for its card, not its converter.
    if (CardRefusedWrite(record) && result.problem == JobProblem::None && !result.outputs.empty()) {
        result.problem = JobProblem::TooLargeForPlayer;
        result.problemSubject = result.outputs.front();
    }
    result.commands.push_back(std::move(record));
}

JobResult ConvertingJob::Stopped() {
    stopped = true;
    JobResult stoppedResult = std::move(result);
    result = JobResult{};
    result.outputs = stoppedResult.outputs;  // freed once the process has ended
    if (pending && pending->kind == WaitedFor::Kind::Line) {
        CommandRecord record;
        record.templateNumber = pending->templateNumber;
        record.commandLine = pending->commandLine;
        record.state = CommandState::Stopped;
        stoppedResult.commands.push_back(std::move(record));  // a stopped check is no command
    }
    stoppedResult.outcome = JobOutcome::Stopped;
    stoppedResult.elapsedSeconds = ShownSeconds(elapsedSeconds);
    return stoppedResult;
}

JobResult ConvertingJob::Finished(OutputBook& book, bool keepDates) {
    if (result.outcome != JobOutcome::Stopped) {
        result.outcome = OutcomeOf(result);
    }
    if (result.outcome == JobOutcome::Done && !outputs.Keep(result, book, keepDates)) {
        result.outcome = JobOutcome::Failed;
    }
    if (result.outcome != JobOutcome::Done) {
        outputs.Discard(result, book);
    }
    JobResult finished = std::move(result);
    finished.elapsedSeconds = ShownSeconds(elapsedSeconds);
    return finished;
}

JobResult ConvertingJob::NotStarted(const PlannedLine& line, const LaunchFailure& failure,
                                    OutputBook& book) {
    outputs.Discard(result, book);
    JobResult notStarted = std::move(result);
    notStarted.commands.push_back(UnlaunchedLineRecord(line, failure));
    notStarted.outcome = JobOutcome::NotStarted;
    notStarted.elapsedSeconds = ShownSeconds(elapsedSeconds);
    return notStarted;
}

bool ConvertingJob::CheckStep(MediaProber* prober, RunProgress& progress, bool noteUnchecked,
                              bool lowPriority, bool stopping) {
    const auto waitFor = [this, &progress](WaitedFor::Kind kind,
                                           std::optional<ProbeTicket> ticket) {
        if (!ticket) {
            // No probe, no check: the job is done as its lines say, with a note.
            progress.SetProbingFailed();
            result.outputsNotChecked = true;
            return false;
        }
        WaitedFor question;
        question.kind = kind;
        question.ticket = *ticket;
        pending = std::move(question);
        return true;
    };
    if (!outputs.CheckBegun()) {
        // Only the media files of a job that has succeeded so far are checked.
        if (!SucceededSoFar(result) || !outputs.AnyMedia()) {
            return false;
        }
        if (prober == nullptr || progress.ProbingFailed()) {
            result.outputsNotChecked = progress.ProbingFailed() || noteUnchecked;
            return false;
        }
        if (stopping) {
            // Everything is being stopped: its outputs are not checked, and so not kept.
            result.outcome = JobOutcome::Stopped;
            return false;
        }
        outputs.BeginCheck();
        // The input's length first, unless it is known: the question asking for it becomes the
        // job's own, or one is asked.
        if (progress.LengthOf(result.path) == nullptr) {
            std::optional<ProbeTicket> running = progress.TakeOver(result.path);
            return waitFor(
                WaitedFor::Kind::InputLength,
                running ? running : prober->Ask(result.path, ProbeKind::Length, lowPriority));
        }
    }
    if (const std::optional<std::string> output = outputs.NextToProbe(result)) {
        return waitFor(WaitedFor::Kind::Output,
                       prober->Ask(*output, ProbeKind::Output, lowPriority));
    }
    return false;
}

void ConvertingJob::CheckAnswered(const WaitedFor& ended, const ProbeAnswer& answer,
                                  RunProgress& progress) {
    if (ended.kind == WaitedFor::Kind::InputLength) {
        progress.Record(result.path, answer);
        return;
    }
    const InputLengths* known = progress.LengthOf(result.path);
    outputs.Judge(answer.media, known != nullptr ? *known : InputLengths{}, result);
}

JobProgress ConvertingJob::Progress(PathStyle style) const {
    JobProgress now = progress.Now();
    const std::string& name = outputs.OutputName();
    if (!name.empty() && name != BaseNameOf(result.path, style)) {
        now.renamedTo = name;
    }
    return now;
}

ConvertingShare ConvertingJob::Share(bool follow) const {
    const bool checkAsks = pending && pending->kind == WaitedFor::Kind::InputLength;
    return ConvertingShare{
        id, &result.path, &progress,
        !stopped && !checkAsks && !progress.Duration() && (follow || !result.outputs.empty()),
        checkAsks};
}

std::int32_t ConvertingJob::TickSeconds() {
    const std::int32_t shown = elapsedSeconds;
    if (elapsedSeconds < std::numeric_limits<std::int32_t>::max()) {
        ++elapsedSeconds;
    }
    return shown;
}

void ConvertingJob::FollowLog() {
    if (pending && pending->kind == WaitedFor::Kind::Line && !pending->logPath.empty()) {
        progress.Update(ProgressOfLog(pending->logPath));
    }
    progress.Tick();
}

}  // namespace palomix
