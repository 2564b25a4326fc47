#include "engine/JobRecords.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/LogTail.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// What a converter writes when the file system refuses a file that large (EFBIG).
constexpr std::string_view kFileTooLarge = "File too large";
// How much of a converting log is read for its progress: the statistics lines are at its end.
constexpr std::size_t kProgressTailBytes = 4096;

}  // namespace

namespace {

void DropStatistics(std::vector<std::string>& lines) {
    std::erase_if(lines, [](const std::string& line) { return IsStatisticsLine(line); });
}

// The head and tail of a command's output: the tail its last lines (of the last few, those that
// are no statistics), the head its first lines before those last few.
void ReadOutputEnds(const std::string& logPath, CommandRecord& record) {
    constexpr std::size_t kTailRead = kFailedCommandLogLines * 4;
    std::vector<std::string> tail = LastLines(logPath, kTailRead);
    bool whole = false;
    std::vector<std::string> head = FirstLines(logPath, kCommandLogHeadLines + kTailRead, whole);
    std::size_t leftOut = 0;
    if (whole) {
        // The output is short: the head is what comes before the lines the tail was read from.
        head.resize(head.size() > kTailRead ? head.size() - kTailRead : 0);
        DropStatistics(head);
        leftOut = head.size() > kCommandLogHeadLines ? head.size() - kCommandLogHeadLines : 0;
    } else {
        DropStatistics(head);
        leftOut = 1;  // a long output: lines lie between its first and last ones
    }
    if (head.size() > kCommandLogHeadLines) {
        head.resize(kCommandLogHeadLines);
    }
    DropStatistics(tail);
    if (tail.size() > kFailedCommandLogLines) {
        leftOut += tail.size() - kFailedCommandLogLines;
        tail.erase(tail.begin(), tail.end() - kFailedCommandLogLines);
    }
    record.logHead = std::move(head);
    record.logTail = std::move(tail);
    record.logCut = leftOut > 0 && !record.logHead.empty();
}

}  // namespace

CommandRecord EndedLineRecord(int templateNumber, std::string commandLine, ProcessExit exit,
                              const std::string& logPath) {
    CommandRecord record;
    record.templateNumber = templateNumber;
    record.commandLine = std::move(commandLine);
    record.state = exit.Succeeded() ? CommandState::Succeeded : CommandState::Failed;
    record.exit = exit;
    if (!logPath.empty()) {
        ReadOutputEnds(logPath, record);
    }
    return record;
}

CommandRecord UnlaunchedLineRecord(const PlannedLine& line, const LaunchFailure& failure) {
    CommandRecord record;
    record.templateNumber = line.templateNumber;
    record.commandLine = line.commandLine;
    record.state = CommandState::NotLaunched;
    record.launchFailure = failure;
    return record;
}

bool CardRefusedWrite(const CommandRecord& record) {
    return record.state == CommandState::Failed &&
           std::any_of(record.logTail.begin(), record.logTail.end(), [](const std::string& line) {
               return line.find(kFileTooLarge) != std::string::npos;
           });
}

LogProgress ProgressOfLog(const std::string& logPath) {
    std::string text;
    for (const std::string& line : LastLines(logPath, 64, kProgressTailBytes)) {
        text += line;
        text += '\n';
    }
    return ProgressInLog(text);
}

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

bool SucceededSoFar(const JobResult& result) {
    return result.outcome != JobOutcome::Stopped && result.problem == JobProblem::None &&
           result.FirstProblem() == nullptr && result.CommandsRun() > 0;
}

std::string ProgramNameOf(const PlannedLine& line, PathStyle style) {
    const std::string_view name = FileNameOf(line.program, style);
    return name.empty() ? line.program : std::string(name);
}

std::int32_t ShownSeconds(std::int32_t elapsed) {
    return elapsed > 0 ? elapsed - 1 : 0;
}

}  // namespace palomix
