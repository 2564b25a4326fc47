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

#include "DeviceOutputFakes.h"
#include "engine/BatchRun.h"
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
        BatchRunSettings settings;
        settings.appFolder = temp.Path("app");
        settings.style = PathStyle::Posix;
        settings.chosenCommand = [this] { return ChosenCommand{settingsFile, 0}; };
        settings.outputFolder = [this] { return temp.Path("out"); };
        run = std::make_unique<BatchRun>(jobs, *launcher, devices, std::move(settings));
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
    std::unique_ptr<ProcessLauncher> launcher = SystemProcessLauncher(host.Poster());
    JobQueue jobs{PathStyle::Posix};
    FakeDevices devices;
    std::unique_ptr<BatchRun> run;
};

TEST_F(BatchRunProcessTest, FailedAndCrashedConvertersAreRecordedAndTheBatchGoesOn) {
    WriteCommands({
        // Writes 30 numbered lines to its log, then fails with exit code 3.
        R"(/bin/sh -c "i=1; while [ $i -le 30 ]; do echo line $i; i=$((i+1)); done; exit 3")",
        "\"" + Helper("crash") + "\" segv",
        "\"" + Helper("exitcode") + "\" 0",
    });
    jobs.AddJob("/v/a.avi");
    jobs.AddJob("/v/b.avi");
    run->StartRun();
    ASSERT_TRUE(RunToTheEnd());

    ASSERT_EQ(run->Results().size(), 2u);
    for (const JobResult& result : run->Results()) {
        EXPECT_EQ(result.outcome, JobOutcome::Failed);
        EXPECT_EQ(result.commandsRun, 3);
        ASSERT_EQ(result.failures.size(), 2u);
        EXPECT_EQ(result.failures[0].exit, (ProcessExit{ProcessExit::Kind::Exited, 3}));
        ASSERT_EQ(result.failures[0].logLines.size(), kFailedCommandLogLines);
        EXPECT_EQ(result.failures[0].logLines.front(), "line 11");
        EXPECT_EQ(result.failures[0].logLines.back(), "line 30");
        EXPECT_EQ(result.failures[1].exit.kind, ProcessExit::Kind::Signalled);
        EXPECT_EQ(result.failures[1].commandLine, "\"" + Helper("crash") + "\" segv");
    }
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_EQ(devices.created, (std::vector<std::string>{temp.Path("out"), temp.Path("out")}));
}

TEST_F(BatchRunProcessTest, HangingConvertersAreEndedByStopAndTheNextJobStartsAfterTheEnd) {
    WriteCommands({"\"" + Helper("sleep") + "\" 600", "\"" + Helper("exitcode") + "\" 0"});
    jobs.AddJob("/v/a.avi");
    jobs.AddJob("/v/b.avi");
    run->StartRun();
    const ProcessHandle first = run->CurrentProcess();
    ASSERT_NE(first, ProcessHandle{});

    run->Button1Click();
    EXPECT_TRUE(run->StopRequested());
    EXPECT_EQ(jobs.JobCount(), 1);
    // Nothing new starts until the stopped process's end has arrived.
    EXPECT_EQ(run->CurrentProcess(), first);
    EXPECT_TRUE(run->WaitingForProcess());

    ASSERT_TRUE(host.RunUntil([&] { return run->CurrentProcess() != first; }));
    EXPECT_FALSE(run->StopRequested());
    EXPECT_TRUE(run->StopEnabled());
    EXPECT_EQ(jobs.Cell(kStatusColumn, 1), "Converting...(00:00:00)");

    run->Button1Click();  // the last job
    EXPECT_EQ(jobs.JobCount(), 0);
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(run->Results().size(), 2u);
    for (const JobResult& result : run->Results()) {
        EXPECT_EQ(result.outcome, JobOutcome::Stopped);
        EXPECT_EQ(result.commandsRun, 1);  // the second template never ran
    }
}

TEST_F(BatchRunProcessTest, AMissingProgramEndsTheRunWithTheJobInRowOne) {
    WriteCommands({"\"" + Helper("exitcode") + "\" 0", "/nonexistent/folder/converter -i x",
                   "\"" + Helper("exitcode") + "\" 0"});
    jobs.AddJob("/v/a.avi");
    run->StartRun();
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(jobs.JobCount(), 1);
    EXPECT_EQ(jobs.Cell(kStatusColumn, 1), "Could not start: converter");
    ASSERT_EQ(run->Results().size(), 1u);
    EXPECT_EQ(run->Results()[0].outcome, JobOutcome::NotStarted);
    EXPECT_EQ(run->Results()[0].commandsRun, 1);
    EXPECT_NE(run->Results()[0].launchFailure.find("converter"), std::string::npos);
}

}  // namespace
}  // namespace palomix
