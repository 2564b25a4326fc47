// The run with real converters that only POSIX has: a shell, and a crash by a signal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
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

// A program folder with a blank in its name, whose converter a line names without quotes, and a
// stray program beside the folder that the unquoted path finds first: the plan (the dry
// run's), the check and the run agree that the line names that stray program, and the run
// refuses to start it, saying why; the job fails. Without the stray program the converter runs.
TEST_F(BatchRunProcessPosixTest, TheCheckAndTheRunStartDifferentPrograms) {
    namespace fs = std::filesystem;
    const std::string programFolder = temp.MakeFolder("opt/Program Files");
    const std::string converter = programFolder + "/cores/ffmpeg";
    const std::string stray = temp.Path("opt/Program");
    fs::create_directories(programFolder + "/cores");
    for (const std::string& program : {converter, stray}) {
        std::ofstream(program) << "#!/bin/sh\necho \"$@\" >> \"$0.ran\"\n";
        ::chmod(program.c_str(), 0755);
    }
    MakeRun(programFolder);
    // As the shipped settings name it: a program folder with blanks comes out unquoted.
    WriteCommands({R"("<%AppPath%>\cores\ffmpeg" -i "<%InputFile%>" "<%OutputFile%>.mp4" -y)"});
    AddJobs({"/v/a.avi"});

    const JobPlan plan = run->Plan(0);
    ASSERT_EQ(plan.lines.size(), 1u);
    EXPECT_EQ(plan.lines[0].program, stray);
    ASSERT_FALSE(plan.lines[0].Runs());
    EXPECT_EQ(*plan.lines[0].notRun, (NotRun{NotRunReason::AmbiguousProgram, stray, 0, converter}));
    run->StartRun();
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Failed);
    ASSERT_EQ(testing::Problems(observer.finished[0]).size(), 1u);
    EXPECT_EQ(testing::Problems(observer.finished[0])[0].notRun.reason,
              NotRunReason::AmbiguousProgram);
    EXPECT_FALSE(fs::exists(stray + ".ran"));

    fs::remove(stray);
    AddJobs({"/v/b.avi"});
    EXPECT_EQ(run->Plan(0).lines.at(0).program, converter);
    EXPECT_TRUE(run->Plan(0).lines.at(0).Runs());
}

}  // namespace
}  // namespace palomix
