// The batch run with the system launcher and real child processes: the test helper programs
// stand in for converters, and the test runs the host's queue of process ends.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix {
namespace {

using namespace std::chrono_literals;
using testing::FakeDevices;
using testing::TempFolder;

using testing::Helper;
using testing::HostQueue;
using testing::kPatience;

class BatchRunProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(Helper("sleep"))) {
            GTEST_SKIP() << "the test helper programs are not built";
        }
        EngineSetup setup;
        setup.programFolder = temp.Path("app");
        setup.style = PathStyle::Posix;
        setup.devices = std::make_unique<testing::DevicesRef>(devices);
        run = std::make_unique<Engine>(std::move(setup), host.Poster());
        run->UseCommand(ChosenCommand{settingsFile, 0});
        run->SetOutputFolder(temp.Path("out"));
        run->SetObserver(&observer);
    }

    void WriteCommands(const std::vector<std::string>& lines) {
        std::ofstream file(settingsFile, std::ios::binary | std::ios::trunc);
        file << "[Item0]\nTitle=t\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            file << "Command" << i << "=" << lines[i] << "\n";
        }
    }

    bool RunToTheEnd() {
        return host.RunUntil([this] { return !run->RunActive(); });
    }

    TempFolder temp;
    std::string settingsFile = temp.Path("settings.ini");
    HostQueue host;  // outlives the launcher, which posts to it
    FakeDevices devices;
    testing::RecordingObserver observer;
    std::unique_ptr<Engine> run;  // with the system launcher

    void AddJobs(const std::vector<std::string>& paths) { run->AddFiles(paths); }
    std::string Status() const { return testing::StatusText(run->Jobs().Status(0)); }
};

TEST_F(BatchRunProcessTest, FailedAndCrashedConvertersAreRecordedAndTheBatchGoesOn) {
    WriteCommands({
        // Writes 30 numbered lines to its log, then fails with exit code 3.
        R"(/bin/sh -c "i=1; while [ $i -le 30 ]; do echo line $i; i=$((i+1)); done; exit 3")",
        "\"" + Helper("crash") + "\" segv",
        "\"" + Helper("exitcode") + "\" 0",
    });
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    ASSERT_TRUE(RunToTheEnd());

    ASSERT_EQ(observer.finished.size(), 2u);
    for (const JobResult& result : observer.finished) {
        EXPECT_EQ(result.outcome, JobOutcome::Failed);
        EXPECT_EQ(result.CommandsRun(), 3);
        const std::vector<CommandRecord> failures = testing::Problems(result);
        ASSERT_EQ(failures.size(), 2u);
        EXPECT_EQ(failures[0].exit, (ProcessExit{ProcessExit::Kind::Exited, 3}));
        ASSERT_EQ(failures[0].logTail.size(), kFailedCommandLogLines);
        EXPECT_EQ(failures[0].logTail.front(), "line 11");
        EXPECT_EQ(failures[0].logTail.back(), "line 30");
        EXPECT_EQ(failures[1].exit.kind, ProcessExit::Kind::Signalled);
        EXPECT_EQ(failures[1].commandLine, "\"" + Helper("crash") + "\" segv");
    }
    EXPECT_EQ(run->JobCount(), 0);
    EXPECT_EQ(devices.created, (std::vector<std::string>{temp.Path("out"), temp.Path("out")}));
}

TEST_F(BatchRunProcessTest, HangingConvertersAreEndedByStopAndTheNextJobStartsAfterTheEnd) {
    WriteCommands({"\"" + Helper("sleep") + "\" 600", "\"" + Helper("exitcode") + "\" 0"});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    const ProcessHandle first = run->CurrentProcess();
    ASSERT_NE(first, ProcessHandle{});

    run->StopHead();
    EXPECT_TRUE(run->StopRequested());
    EXPECT_EQ(run->JobCount(), 1);
    // Nothing new starts until the stopped process's end has arrived.
    EXPECT_EQ(run->CurrentProcess(), first);
    EXPECT_TRUE(run->WaitingForProcess());

    ASSERT_TRUE(host.RunUntil([&] { return run->CurrentProcess() != first; }));
    EXPECT_FALSE(run->StopRequested());
    EXPECT_TRUE(run->StopEnabled());
    EXPECT_EQ(Status(), "Converting...(00:00:00)");

    run->StopHead();  // the last job
    EXPECT_EQ(run->JobCount(), 0);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(observer.finished.size(), 2u);
    for (const JobResult& result : observer.finished) {
        EXPECT_EQ(result.outcome, JobOutcome::Stopped);
        EXPECT_EQ(result.CommandsRun(), 1);  // the second template never ran
    }
}

TEST_F(BatchRunProcessTest, AMissingProgramEndsTheRunWithTheJobInRowOne) {
    WriteCommands({"\"" + Helper("exitcode") + "\" 0", "/nonexistent/folder/converter -i x",
                   "\"" + Helper("exitcode") + "\" 0"});
    AddJobs({"/v/a.avi"});
    run->StartRun();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(run->JobCount(), 1);
    EXPECT_EQ(Status(), "Could not start: converter");
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::NotStarted);
    EXPECT_EQ(observer.finished[0].CommandsRun(), 1);
    EXPECT_EQ(observer.finished[0].commands.back().launchFailure.error,
              LaunchError::ProgramNotFound);
}

}  // namespace
}  // namespace palomix
