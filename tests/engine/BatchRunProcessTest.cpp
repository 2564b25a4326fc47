// The run with the system launcher and real child processes: the test helper programs stand in
// for converters, and the test runs the host's queue of process ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/BatchRunProcessFixture.h"

namespace palomix {
namespace {

using testing::BatchRunProcessTest;
using testing::Helper;

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
