// One job while the run converts it: what it waits for (a command line of it, or a question of
// the check of its outputs), its outputs, its progress, its time, and the result being written
// down. The batch run keeps one for each job it has begun and not finished, and asks it to end
// in one of the ways a job ends; each way hands back the job's result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/JobOutputs.h"
#include "engine/JobPlanner.h"
#include "engine/MediaProbe.h"
#include "engine/OutputNames.h"
#include "engine/Progress.h"
#include "engine/RunProgress.h"

namespace palomix {

// What a converting job waits for.
struct WaitedFor {
    enum class Kind { Line, InputLength, Output };
    Kind kind = Kind::Line;
    ProcessHandle handle;    // Line
    ProbeTicket ticket = 0;  // InputLength, Output
    int templateNumber = 0;
    std::vector<std::string> playerDrives;  // the players it writes to
    std::string commandLine;
    std::string logPath;
};

struct ConvertingJob {
    JobId id = 0;
    std::optional<ChosenCommand> ownCommand;  // queued with a command of its own
    std::string outputFolder;
    JobOutputs outputs;
    int nextTemplate = 0;  // the next template number whose turn comes
    std::int32_t elapsedSeconds = 0;
    JobResult result;
    std::optional<WaitedFor> pending;
    bool stopped = false;        // recorded and removed; its process's end has not arrived yet
    std::string waitsForPlayer;  // its next line writes to this player, which is busy
    JobProgressTracker progress;

    // The job as it begins: its plan names its outputs and the lines that run.
    // `place`: where its temporary files are made and noted (see JobOutputs).
    ConvertingJob(JobId id, const std::string& path, std::optional<ChosenCommand> own,
                  PlannedJob planned, PathStyle style, TemporaryPlace place);

    // A line of it was launched: it waits for its end.
    void LineStarted(const PlannedLine& line, const LaunchResult& launch);
    // True while its running line writes to this player.
    bool WritesTo(const std::string& drive) const;
    // Its line ended: progress and the record (a card that refused the output fails the job).
    void LineEnded(const WaitedFor& ended, ProcessExit exit);
    // What it waits for was stopped: its result as stopped (its outputs are freed once what it
    // waited for has ended).
    JobResult Stopped();
    // Its last line is done (or it was stopped between lines): its outputs kept or discarded,
    // and its result.
    JobResult Finished(OutputBook& book, bool keepDates);
    // A line of it could not start: its outputs discarded, and its result.
    JobResult NotStarted(const PlannedLine& line, const LaunchFailure& failure, OutputBook& book);

    // The check of its outputs once every line has succeeded (engine/OutputCheck.h): asks the
    // prober about its input's length (or takes over the run's question about it) or about the
    // next output, and returns true while it waits for the answer; false when the check is
    // over: passed, failed with the result's problem set, or not possible (`noteUnchecked`:
    // the result then says its outputs were not checked). `stopping`: everything is being
    // stopped, so a check not begun yet makes the job stopped instead.
    bool CheckStep(MediaProber* prober, RunProgress& progress, bool noteUnchecked, bool lowPriority,
                   bool stopping);
    // The answer to the check's question.
    void CheckAnswered(const WaitedFor& ended, const ProbeAnswer& answer, RunProgress& progress);

    // How far it has come; the name its outputs get when it is not the input's own.
    JobProgress Progress(PathStyle style) const;
    // The run's progress's view of it. `follow`: the queue's progress is followed.
    ConvertingShare Share(bool follow) const;
    // Once a second: the seconds to show, advanced for the next tick.
    std::int32_t TickSeconds();
    // Once a second: the converting line's log read, and the time left worked out anew.
    void FollowLog();
};

}  // namespace palomix
