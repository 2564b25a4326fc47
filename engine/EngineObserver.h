// What the core tells a front end, as whole facts. Every call comes on the host's thread,
// after the core's state has been updated, and every method has an empty default.
//
// A handler may call back into the core (start a run, stop a job, add paths, tick); it must not
// destroy it. JobEnded, RunEnded and StopFailed may run a nested event loop (a modal message
// box); StopEnabledChanged may not.
#pragma once

#include <string>
#include <system_error>

#include "engine/JobQueue.h"
#include "engine/JobResult.h"

namespace palomix {

// Why a run ended.
enum class RunEndReason {
    QueueEmpty,            // every job has left the list
    LaunchFailed,          // a command line could not be started; its job stays at the top
    NothingSelected,       // no conversion command is chosen; no job was started
    Interrupted,           // every job was stopped; the jobs not reached stay in the list
    OutputFolderUnusable,  // the output folder could not be made; the jobs stay in the list
    FinishedEarly,         // asked to end after the jobs converting; the others stay
};

struct RunEnd {
    RunEndReason reason = RunEndReason::QueueEmpty;
    std::string folder;     // OutputFolderUnusable: the folder
    std::error_code error;  // OutputFolderUnusable: why it could not be made
};

struct JobStart {
    JobId id = 0;
    std::string path;
    std::string outputName;  // the name its outputs get (see JobResult::outputName)
};

struct CommandStart {
    JobId id = 0;
    int templateNumber = 0;
    std::string commandLine;
};

class EngineObserver {
public:
    virtual ~EngineObserver() = default;
    // The Stop button became enabled or disabled.
    virtual void StopEnabledChanged(bool /*enabled*/) {}
    // A job began converting.
    virtual void JobStarted(const JobStart& /*start*/) {}
    // A command line of a job was started.
    virtual void CommandStarted(const CommandStart& /*start*/) {}
    // A job is over: done, failed or stopped (it has left the list), or not started (it stays).
    virtual void JobEnded(const JobResult& /*result*/) {}
    // The run has ended: no run is active and the Stop button is disabled.
    virtual void RunEnded(const RunEnd& /*end*/) {}
    // A stop found nothing to stop (the command had already ended): the run goes on unchanged.
    virtual void StopFailed() {}
    // What cores/ffmpeg offers has been read (or found unreadable): Engine::CommandNeeds
    // answers now.
    virtual void ConverterChecked() {}
};

}  // namespace palomix
