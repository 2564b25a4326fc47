// A log of each run that a user can attach to a report of a problem: readable text, written as
// the run goes (so that a run that ends badly still leaves what happened), by any front end that
// adds it as an observer of its engine. It holds the versions (the program, the ffmpeg of cores
// as the engine knows it, how media is probed), the settings file and command, each job's
// command lines with how they ended and the head and tail of their output, each job's outcome
// and problem, and how the run ended (frontend/RunLogText.h). Only paths, arguments, versions
// and the converter's output: no environment, nothing else of the user's.
//
// Each run gets a file of its own in the run log folder, named by the time it started
// ("run-20240501-120000-001.log", UTC, numbered within the second), and only the newest
// kRunLogsKept are kept there. A front end may name one more file that gets the same text
// (palomix-batch --log FILE).
#pragma once

#include <cstddef>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineObserver.h"

namespace palomix {

inline constexpr std::size_t kRunLogsKept = 20;

// The run log folder of this user: "logs" in the program's state folder
// (platform/UserFolders.h); nullopt when none is known.
std::optional<std::string> RunLogFolder();

// The newest run log in `folder`; nullopt when there is none.
std::optional<std::string> NewestRunLog(const std::string& folder);

struct RunLogSetup {
    std::string program;  // the front end, as the log names it: "palomix", "palomix-batch"
    std::string folder;   // the run log folder (made when missing); empty: none
    std::string copyTo;   // one more file that gets each run's log (written anew); empty: none
};

class RunLog final : public EngineObserver {
public:
    // `engine` must outlive the log, which only reads what it says of itself.
    RunLog(Engine& engine, RunLogSetup setup);
    // A run still being logged is marked as not ended.
    ~RunLog() override;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    void JobStarted(const JobStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;
    void ConverterChecked() override;

    // The file of the run being logged in the folder, or of the last one; empty before any.
    const std::string& LastPath() const { return lastPath_; }
    // The files that could not be written, each with the reason; empty when all were.
    const std::vector<std::string>& Failures() const { return failures_; }

private:
    struct Target {
        std::string path;
        std::ofstream file;
    };
    // Opens the files of a new run and writes its heading, unless a run is being logged.
    void Begin();
    void Write(const std::string& text);
    std::optional<Target> NewFileInFolder();
    void RemoveOldLogs() const;

    Engine& engine_;
    const RunLogSetup setup_;
    std::vector<Target> targets_;  // of the run being logged; empty between runs
    bool logging_ = false;
    bool converterKnown_ = false;  // the heading named the converter's version
    int jobs_ = 0;                 // jobs started in the run
    std::map<JobId, int> numbers_;
    std::string lastPath_;
    std::vector<std::string> failures_;
};

}  // namespace palomix
