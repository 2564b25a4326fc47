// The run with real converters that only POSIX has: a shell, and a crash by a signal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/BatchRunProcessFixture.h"

namespace palomix {
namespace {

using testing::Helper;

class BatchRunProcessPosixTest : public testing::BatchRunProcessTest {};

TEST_F(BatchRunProcessPosixTest, FailedAndCrashedConvertersAreRecordedAndTheBatchGoesOn) {
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

}  // namespace
}  // namespace palomix
