// The batch run with the system launcher and real child processes: the test helper programs
// stand in for converters, and the test runs the host's queue of process ends.
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
