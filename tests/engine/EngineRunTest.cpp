// The run through the core's door, against a fake launcher: the test plays the host and
// delivers each process's end when it wants, so every step of the run can be looked at.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace palomix {
namespace {

using testing::EngineTest;
using testing::Problems;

constexpr ProcessExit kSignalled{ProcessExit::Kind::Signalled, 15};

// Every text the head's status takes, in order.
class StatusLog : public EngineObserver {
public:
    explicit StatusLog(Engine& engine) : engine_(engine) { engine_.AddObserver(this); }
    ~StatusLog() override { engine_.RemoveObserver(this); }
    std::vector<std::string> texts;

    void JobStatusChanged(std::int32_t index) override {
        if (index == 0) {
            texts.push_back(testing::StatusText(engine_.Status(0)));
        }
    }

private:
    Engine& engine_;
};

class BatchRunTest : public EngineTest {
protected:
    StatusLog statusLog{*engine};
    const std::vector<JobResult>& results = observer.finished;
};

using Events = std::vector<std::string>;
using Lines = std::vector<std::string>;

// --- Timer text ------------------------------------------------------------------------------

TEST(RunTimerText, TwoDigitsEachAndUnboundedHours) {
    EXPECT_EQ(ElapsedTimeText(0), "00:00:00");
    EXPECT_EQ(ElapsedTimeText(59), "00:00:59");
    EXPECT_EQ(ElapsedTimeText(60), "00:01:00");
    EXPECT_EQ(ElapsedTimeText(3599), "00:59:59");
    EXPECT_EQ(ElapsedTimeText(3600), "01:00:00");
    EXPECT_EQ(ElapsedTimeText(360000), "100:00:00");
    EXPECT_EQ(ElapsedTimeText(-5), "00:00:00");
}

TEST_F(BatchRunTest, TicksShowTheJobTimeAndStopWhenNoRunIsActive) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi"});
    engine->Tick();
    EXPECT_EQ(Status(), "Wait...");  // no run: the grid is left alone
    EXPECT_EQ(engine->ElapsedSeconds(), 0);

    engine->StartRun();
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_EQ(engine->ElapsedSeconds(), 1);
    for (int i = 0; i < 60; ++i) {
        engine->Tick();
    }
    EXPECT_EQ(Status(), "Converting...(00:01:00)");
    EXPECT_EQ(engine->ElapsedSeconds(), 61);
}

// --- Starting and the order of jobs ----------------------------------------------------------

TEST_F(BatchRunTest, EmptyListEnablesAndDisablesStopAndNothingElse) {
    WriteSettings({{{0, "prog x"}}});
    engine->StartRun();
    EXPECT_EQ(observer.events, (Events{"stop on", "stop off", "ended: queue empty"}));
    EXPECT_FALSE(engine->RunActive());
    EXPECT_FALSE(engine->StopEnabled());
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_TRUE(devices.created.empty());
    EXPECT_TRUE(statusLog.texts.empty());
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_TRUE(results.empty());
}

TEST_F(BatchRunTest, ThreeJobsRunInOrderAndTheRowsMoveUp) {
    WriteSettings({{{0, "prog \"<%InputFile%>\" \"<%OutputFile%>.mp4\""}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    engine->StartRun();
    EXPECT_TRUE(engine->RunActive());
    EXPECT_TRUE(engine->StopEnabled());
    // Outputs are written under a temporary name until their job is done.
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Lines()),
              (Lines{R"(prog "/v/a.avi" "/out/.palomix-XXXXXX-a.mp4")"}));
    EXPECT_EQ(engine->CurrentProcess(), launcher.Last().handle);
    EXPECT_EQ(engine->JobCount(), 3);

    launcher.Finish();
    EXPECT_EQ(engine->JobCount(), 2);
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi", "/v/c.avi"}));
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Last().commandLine),
              R"(prog "/v/b.avi" "/out/.palomix-XXXXXX-b.mp4")");

    launcher.Finish();
    EXPECT_EQ(engine->JobCount(), 1);
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Last().commandLine),
              R"(prog "/v/c.avi" "/out/.palomix-XXXXXX-c.mp4")");

    launcher.Finish();
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_FALSE(engine->RunActive());
    EXPECT_FALSE(engine->StopEnabled());
    ASSERT_EQ(results.size(), 3u);
    for (const JobResult& result : results) {
        EXPECT_EQ(result.outcome, JobOutcome::Done);
        EXPECT_EQ(result.CommandsRun(), 1);
    }
    EXPECT_EQ(results[2].path, "/v/c.avi");
    EXPECT_EQ(observer.events.back(), "ended: queue empty");
    // The button went on once and off once: the jobs in between kept it enabled.
    EXPECT_EQ(std::count(observer.events.begin(), observer.events.end(), "stop on"), 1);
    EXPECT_EQ(std::count(observer.events.begin(), observer.events.end(), "stop off"), 1);
    EXPECT_EQ(launcher.discarded.size(), 3u);
    EXPECT_EQ(launcher.overlappingLaunches, 0);
}

TEST_F(BatchRunTest, JobsAddedDuringARunAreReachedByThatRunAndStartRunIsAbsorbed) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""}, {1, "post \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    // A drop while the first command runs: its rows are appended and StartRun returns at once.
    AddJobs({"/v/b.avi", "/v/c.avi"});
    engine->StartRun();
    EXPECT_EQ(launcher.processes.size(), 1u);
    EXPECT_EQ(engine->ElapsedSeconds(), 1);  // not restarted for the head
    while (launcher.Running() > 0) {
        launcher.Finish();
    }
    EXPECT_EQ(launcher.Lines(),
              (Lines{R"(prog "/v/a.avi")", R"(post "/v/a.avi")", R"(prog "/v/b.avi")",
                     R"(post "/v/b.avi")", R"(prog "/v/c.avi")", R"(post "/v/c.avi")"}));
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_EQ(launcher.overlappingLaunches, 0);
}

TEST_F(BatchRunTest, ADropFromAJobFinishedHandlerIsConvertedByTheSameRun) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""}}});
    observer.onJobEnded = [this](const JobResult& result) {
        if (result.path == "/v/a.avi") {
            AddJobs({"/v/late.avi"});
            engine->StartRun();
        }
    };
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(prog "/v/a.avi")", R"(prog "/v/late.avi")"}));
    launcher.Finish();
    EXPECT_FALSE(engine->RunActive());
    EXPECT_EQ(observer.ends.size(), 1u);
}

TEST_F(BatchRunTest, EmptyAndToolTemplatesPassJobsThroughWithoutAProcessAndFailThem) {
    WriteSettings({{{0, ""},
                    {1, "\"<%AppPath%>\\cores\\Platenfold\" \"<%InputFile%>\""},
                    {2, "rm \"<%OutputFile%>\""},
                    {255, "Boxwright x"}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    engine->StartRun();
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_FALSE(engine->RunActive());
    // Every job showed its zero time as it passed.
    EXPECT_EQ(std::count(statusLog.texts.begin(), statusLog.texts.end(), "Converting...(00:00:00)"),
              3);
    ASSERT_EQ(results.size(), 3u);
    // Nothing ran, so nothing was converted: each job failed, saying why.
    for (const JobResult& result : results) {
        EXPECT_EQ(result.outcome, JobOutcome::Failed);
        EXPECT_EQ(result.problem, JobProblem::NothingToRun);
        EXPECT_EQ(result.CommandsRun(), 0);
    }
}

TEST_F(BatchRunTest, ManyJobsWithoutCommandsPassOnAFlatStack) {
    WriteSettings({{}});
    std::vector<std::string> paths;
    for (int i = 0; i < 20000; ++i) {
        paths.push_back("/v/" + std::to_string(i));
    }
    engine->AddFiles(paths);
    engine->StartRun();
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_EQ(results.size(), 20000u);
}

// --- Reading the templates -------------------------------------------------------------------

TEST_F(BatchRunTest, TemplatesWithGapsRunInNumberOrder) {
    WriteSettings({{{7, "seven \"<%InputFile%>\""}, {0, "zero \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(zero "/v/a.avi")"}));
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(zero "/v/a.avi")", R"(seven "/v/a.avi")"}));
    EXPECT_EQ(engine->JobCount(), 1);  // the job stays until its last template is done
    launcher.Finish();
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_EQ(results.at(0).CommandsRun(), 2);
}

TEST_F(BatchRunTest, AnEditOfTheSettingsFileCountsFromTheNextTemplate) {
    WriteSettings({{{0, "first"}, {1, "second"}}});
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    WriteSettings({{{0, "changed-first"}, {1, "changed-second"}, {2, "added"}}});
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{"first", "changed-second", "added"}));
}

TEST_F(BatchRunTest, AChangeOfSelectionCountsFromTheNextTemplate) {
    WriteSettings({{{0, "item0-a"}, {1, "item0-b"}}, {{0, "item1-a"}, {1, "item1-b"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    Choose(ChosenCommand{settingsFile, 1});  // a language switch chose another item
    launcher.Finish();
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{"item0-a", "item1-b", "item1-a", "item1-b"}));
}

TEST_F(BatchRunTest, TheOutputFolderIsReadAndCreatedAtTheStartOfEveryJob) {
    WriteSettings({{{0, "one \"<%OutputFile%>\""}, {1, "two \"<%OutputFile%>\""}}});
    engine->SetOutputFolder("/out/first");
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    EXPECT_EQ(devices.created, (Lines{"/out/first"}));
    engine->SetOutputFolder("/out/second");  // changed while job a runs: a keeps its folder
    launcher.Finish();
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Last().commandLine),
              R"(two "/out/first/.palomix-XXXXXX-a")");
    launcher.Finish();
    EXPECT_EQ(devices.created, (Lines{"/out/first", "/out/second"}));
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Last().commandLine),
              R"(one "/out/second/.palomix-XXXXXX-b")");
}

TEST_F(BatchRunTest, AnOutputFolderThatCannotBeMadeEndsTheRunOnceAndKeepsTheJobs) {
    WriteSettings({{{0, "prog"}}});
    devices.createFails = true;
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    // Not one failure per file: the run stops, saying which folder and why.
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(engine->JobCount(), 2);
    EXPECT_FALSE(engine->RunActive());
    EXPECT_EQ(observer.lastEnd.reason, RunEndReason::OutputFolderUnusable);
    EXPECT_EQ(observer.lastEnd.folder, "/out");
    EXPECT_TRUE(observer.lastEnd.error);
}

TEST_F(BatchRunTest, WithNothingSelectedNoJobStarts) {
    WriteSettings({{{0, "prog"}}});
    Choose(std::nullopt);
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    EXPECT_EQ(observer.events, (Events{"ended: nothing selected"}));
    EXPECT_FALSE(engine->RunActive());
    EXPECT_EQ(engine->JobCount(), 2);
    EXPECT_EQ(Status(), "Wait...");
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_TRUE(devices.created.empty());

    // Chosen later: the next drop starts the same jobs.
    Choose(ChosenCommand{settingsFile, 0});
    engine->StartRun();
    EXPECT_EQ(launcher.processes.size(), 1u);
}

TEST_F(BatchRunTest, ASelectionLostBetweenJobsEndsTheRunAndKeepsTheRest) {
    WriteSettings({{{0, "prog"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    Choose(std::nullopt);
    launcher.Finish();
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi"}));
    EXPECT_FALSE(engine->RunActive());
    EXPECT_FALSE(engine->StopEnabled());
    EXPECT_EQ(observer.ends.back(), RunEndReason::NothingSelected);
}

TEST_F(BatchRunTest, TheElapsedTimeRestartsAtZeroForEveryJob) {
    WriteSettings({{{0, "prog"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    for (int i = 0; i < 5; ++i) {
        engine->Tick();
    }
    EXPECT_EQ(Status(), "Converting...(00:00:05)");
    launcher.Finish();
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_EQ(engine->ElapsedSeconds(), 1);
    EXPECT_EQ(results.at(0).elapsedSeconds, 5);
}

// --- Failed commands -------------------------------------------------------------------------

TEST_F(BatchRunTest, FailedCommandsAreRecordedWithTheirLogAndTheBatchGoesOn) {
    WriteSettings({{{0, "first \"<%InputFile%>\""}, {1, "second \"<%InputFile%>\""}}});
    launcher.logText = [](const std::string& line) {
        std::string text;
        for (int i = 1; i <= 30; ++i) {
            text += line + " line " + std::to_string(i) + "\r\n";
        }
        return text;
    };
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    engine->StartRun();
    launcher.Finish(ProcessExit{ProcessExit::Kind::Exited, 3});
    launcher.Finish();                                    // a's second command still runs
    launcher.Finish();                                    // b first
    launcher.Finish({ProcessExit::Kind::Signalled, 11});  // b second crashes
    launcher.Finish();                                    // c
    launcher.Finish();
    EXPECT_EQ(launcher.processes.size(), 6u);

    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Failed);
    ASSERT_EQ(Problems(results[0]).size(), 1u);
    const CommandRecord failure = Problems(results[0])[0];
    EXPECT_EQ(failure.commandLine, R"(first "/v/a.avi")");
    EXPECT_EQ(failure.exit, (ProcessExit{ProcessExit::Kind::Exited, 3}));
    ASSERT_EQ(failure.logTail.size(), kFailedCommandLogLines);
    EXPECT_EQ(failure.logTail.front(), R"(first "/v/a.avi" line 11)");
    EXPECT_EQ(failure.logTail.back(), R"(first "/v/a.avi" line 30)");

    EXPECT_EQ(results[1].outcome, JobOutcome::Failed);
    ASSERT_EQ(Problems(results[1]).size(), 1u);
    EXPECT_EQ(Problems(results[1])[0].exit, (ProcessExit{ProcessExit::Kind::Signalled, 11}));
    EXPECT_EQ(Problems(results[1])[0].commandLine, R"(second "/v/b.avi")");
    EXPECT_EQ(results[2].outcome, JobOutcome::Done);
    EXPECT_TRUE(Problems(results[2]).empty());
    // Every log was handed back once read.
    EXPECT_EQ(launcher.discarded.size(), 6u);
}

TEST_F(BatchRunTest, AProgramThatCannotStartEndsTheRunAndKeepsTheJob) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""},
                    {1, "\"/opt/no such/missing\" \"<%InputFile%>\" -y"},
                    {2, "after"}}});
    launcher.missingPrograms = {"/opt/no such/missing"};
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(prog "/v/a.avi")"}));
    EXPECT_EQ(launcher.refusedLaunches, 1);
    EXPECT_FALSE(engine->RunActive());
    EXPECT_FALSE(engine->StopEnabled());
    EXPECT_EQ(engine->CurrentProcess(), ProcessHandle{});
    EXPECT_EQ(Paths(), (Lines{"/v/a.avi", "/v/b.avi"}));
    EXPECT_EQ(Status(), "Could not start: missing");
    ASSERT_EQ(observer.ends.size(), 1u);
    EXPECT_EQ(observer.ends[0], RunEndReason::LaunchFailed);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, JobOutcome::NotStarted);
    EXPECT_EQ(results[0].CommandsRun(), 1);
    // The job's result holds the line and why it could not start; nothing else is needed.
    const CommandRecord& refused = results[0].commands.back();
    EXPECT_EQ(refused.state, CommandState::NotLaunched);
    EXPECT_EQ(refused.commandLine, R"("/opt/no such/missing" "/v/a.avi" -y)");
    EXPECT_EQ(refused.launchFailure.error, LaunchError::ProgramNotFound);
    EXPECT_EQ(refused.launchFailure.program, "/opt/no such/missing");

    engine->Tick();  // the time no longer advances
    EXPECT_EQ(Status(), "Could not start: missing");

    // The next drop starts again with the same head job, from its first template.
    engine->StartRun();
    EXPECT_EQ(launcher.Last().commandLine, R"(prog "/v/a.avi")");
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
}

TEST_F(BatchRunTest, ABlankCommandLineCannotStart) {
    WriteSettings({{{0, "\"  \""}}});  // the quotes keep the blanks
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    EXPECT_EQ(Status(), "Could not start: ");
    EXPECT_EQ(results.at(0).commands.back().launchFailure.error, LaunchError::EmptyLine);
    EXPECT_EQ(engine->JobCount(), 1);
}

// --- Stop ------------------------------------------------------------------------------------

TEST_F(BatchRunTest, StopOnTheLastJobEmptiesTheListAndDisablesTheButton) {
    WriteSettings({{{0, "prog"}, {1, "never"}}});
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    engine->Tick();
    engine->StopHead();
    EXPECT_EQ(launcher.Last().terminateCalls, 1);
    EXPECT_TRUE(engine->StopRequested());
    EXPECT_FALSE(engine->StopEnabled());
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_EQ(Status(), "");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Stopped);
    EXPECT_EQ(results[0].elapsedSeconds, 1);

    launcher.Finish(kSignalled);
    EXPECT_FALSE(engine->StopRequested());
    EXPECT_FALSE(engine->RunActive());
    EXPECT_EQ(launcher.Lines(), (Lines{"prog"}));
    EXPECT_EQ(observer.ends.size(), 1u);
    EXPECT_EQ(results.size(), 1u);  // the stopped command's end adds no result
}

TEST_F(BatchRunTest, StopOnTheFirstOfThreeStartsTheNextJobOnceTheProcessHasEnded) {
    WriteSettings({{{0, "one \"<%InputFile%>\""}, {1, "two \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    engine->StartRun();
    engine->Tick();
    engine->Tick();
    engine->StopHead();
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi", "/v/c.avi"}));
    EXPECT_EQ(engine->JobCount(), 2);
    // The terminated process has not ended yet: nothing new starts, and the new head shows
    // no time of the stopped job.
    EXPECT_EQ(launcher.processes.size(), 1u);
    engine->Tick();
    EXPECT_EQ(Status(), "Wait...");
    EXPECT_TRUE(engine->RunActive());

    launcher.Finish(kSignalled);
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_TRUE(engine->StopEnabled());
    EXPECT_FALSE(engine->StopRequested());
    // The stopped job's second template never ran, not even against the new head.
    EXPECT_EQ(launcher.Lines(), (Lines{R"(one "/v/a.avi")", R"(one "/v/b.avi")"}));
    launcher.Finish();
    launcher.Finish();
    // b left the list once: c is now the head.
    EXPECT_EQ(Paths(), (Lines{"/v/c.avi"}));
    EXPECT_EQ(launcher.overlappingLaunches, 0);
    EXPECT_EQ((Events{observer.events.begin(), observer.events.begin() + 4}),
              (Events{"stop on", "started one \"/v/a.avi\"", "stop off", "stopped /v/a.avi"}));
    EXPECT_EQ(observer.events[4], "stop on");
}

TEST_F(BatchRunTest, StopWhenTheChildHasAlreadyEndedOnlyShowsTheMessage) {
    WriteSettings({{{0, "prog"}, {1, "next"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    launcher.Exit();  // ended, but the end has not been delivered yet
    const std::vector<std::string> statuses = statusLog.texts;

    engine->StopHead();
    engine->StopHead();
    EXPECT_EQ((Events{observer.events.end() - 2, observer.events.end()}),
              (Events{"stop failed", "stop failed"}));
    EXPECT_FALSE(engine->StopRequested());
    EXPECT_TRUE(engine->StopEnabled());
    EXPECT_EQ(engine->JobCount(), 2);
    EXPECT_EQ(statusLog.texts, statuses);
    EXPECT_TRUE(results.empty());

    launcher.Deliver();  // the run goes on as if nothing had happened
    EXPECT_EQ(launcher.Last().commandLine, "next");
}

TEST_F(BatchRunTest, StopWithNoProcessOrADisabledButton) {
    WriteSettings({{{0, "prog"}}});
    engine->StopHead();  // idle: the button is disabled
    EXPECT_TRUE(observer.events.empty());

    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    engine->StopHead();
    engine->StopHead();  // disabled during the hand-over: nothing happens
    EXPECT_EQ(launcher.Last().terminateCalls, 1);
    EXPECT_EQ(engine->JobCount(), 1);
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(BatchRunTest, TheStoppedProcessMayEndInsideTheStoppedJobHandler) {
    // A window handler that runs a nested event loop can see the stopped command's end arrive
    // before the Stop returns.
    WriteSettings({{{0, "one \"<%InputFile%>\""}, {1, "two \"<%InputFile%>\""}}});
    observer.onJobEnded = [this](const JobResult& result) {
        if (result.outcome == JobOutcome::Stopped) {
            launcher.Finish(kSignalled);
        }
    };
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    engine->StopHead();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(one "/v/a.avi")", R"(one "/v/b.avi")"}));
    EXPECT_TRUE(engine->StopEnabled());
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi"}));
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(engine->JobCount(), 0);
    EXPECT_FALSE(engine->RunActive());
}

// --- Lifetime --------------------------------------------------------------------------------

TEST_F(BatchRunTest, AnEndArrivingAfterTheRunIsGoneTouchesNothing) {
    WriteSettings({{{0, "prog"}}});
    testing::FakeLauncher own;
    auto gone = testing::MakeTestEngine(own, devices, settingsFile);
    const std::vector<std::string> paths{"/v/a.avi"};
    gone->AddFiles(paths);
    gone->StartRun();
    gone.reset();
    EXPECT_EQ(own.Last().terminateCalls, 1);
    own.Finish(kSignalled);
    EXPECT_EQ(own.processes.size(), 1u);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(BatchRunTest, ALineForAPlayerThatIsNotAttachedIsNotStartedAndTheJobFails) {
    WriteSettings({{{0, R"(conv "<%InputFile%>" "<%PSPVideoOutputFile%>.MP4")"},
                    {1, R"(conv "<%InputFile%>" "<%OutputFile%>.mp4")"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    // a: the PSP line is passed over, the output-folder line runs.
    ASSERT_EQ(launcher.processes.size(), 1u);
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.processes[0].commandLine),
              R"(conv "/v/a.avi" "/out/.palomix-XXXXXX-a.mp4")");
    // b: a PSP is attached by now and gets the output.
    devices.drives = {"/psp"};
    devices.folders = {"/psp/PSP/GAME"};
    launcher.Finish();
    ASSERT_EQ(launcher.processes.size(), 2u);
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.processes[1].commandLine),
              R"(conv "/v/b.avi" "/psp/VIDEO/.palomix-XXXXXX-b.MP4")");
    launcher.Finish();
    launcher.Finish();

    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Failed);
    ASSERT_EQ(Problems(results[0]).size(), 1u);
    EXPECT_EQ(Problems(results[0])[0].commandLine, R"(conv "/v/a.avi" ".MP4")");
    EXPECT_EQ(Problems(results[0])[0].state, CommandState::NotRun);
    EXPECT_EQ(Problems(results[0])[0].notRun, (NotRun{NotRunReason::PlayerNotAttached, "PSP", 0}));
    EXPECT_EQ(results[1].outcome, JobOutcome::Done);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(BatchRunTest, ASettingsFileThatVanishesFailsTheJobsThatCannotReadIt) {
    WriteSettings({{{0, R"(conv "<%InputFile%>")"}}});
    AddJobs({"/v/1.avi", "/v/2.avi", "/v/3.avi"});
    engine->StartRun();
    std::filesystem::remove(settingsFile);
    launcher.Finish();
    // One converter ran; no job counts as done, since none could be read to its end.
    EXPECT_EQ(launcher.processes.size(), 1u);
    ASSERT_EQ(results.size(), 3u);
    for (const JobResult& result : results) {
        EXPECT_EQ(result.outcome, JobOutcome::Failed);
        EXPECT_EQ(result.problem, JobProblem::SettingsUnreadable);
        EXPECT_EQ(result.problemSubject, settingsFile);
    }
    EXPECT_EQ(results[0].CommandsRun(), 1);
    EXPECT_FALSE(engine->RunActive());
}

// The converter is handed the job's own new file, so a converter line that says neither -y nor
// -n is told to write over it (or the converter would ask, and take no for an answer); the plan
// shows what the run starts, and a line's own -n stays the user's.
TEST_F(BatchRunTest, AConverterLineIsToldToWriteOverTheJobsOwnFile) {
    WriteSettings({{{0, R"(/opt/cores/FFmpeg -i "<%InputFile%>" "<%OutputFile%>.mp3")"}},
                   {{0, R"(/opt/cores/ffmpeg -n -i "<%InputFile%>" "<%OutputFile%>.mp3")"}}});
    AddJobs({"/v/a.wav"});
    const JobPlan plan = engine->Plan(0);
    ASSERT_EQ(plan.lines.size(), 1u);
    EXPECT_EQ(plan.lines[0].commandLine, R"(/opt/cores/FFmpeg -y -i "/v/a.wav" "/out/a.mp3")");
    EXPECT_EQ(plan.lines[0].arguments.front(), "-y");
    engine->StartRun();
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Last().commandLine),
              R"(/opt/cores/FFmpeg -y -i "/v/a.wav" "/out/.palomix-XXXXXX-a.mp3")");
    engine->UseCommand(ChosenCommand{settingsFile, 1});
    EXPECT_EQ(engine->Plan(0).lines.at(0).arguments.front(), "-n");
}

TEST_F(BatchRunTest, ThePlanIsWhatTheRunStarts) {
    WriteSettings({{{0, R"(conv "<%InputFile%>" "<%PSPVideoOutputFile%>.MP4")"},
                    {1, "rm x"},
                    {2, R"(conv "<%InputFile%>" "<%OutputFile%>.mp4")"}}});
    AddJobs({"/v/a.avi"});
    const JobPlan plan = engine->Plan(0);
    EXPECT_TRUE(devices.created.empty());  // planning creates no folder
    ASSERT_EQ(plan.lines.size(), 2u);
    EXPECT_FALSE(plan.lines[0].Runs());
    EXPECT_TRUE(plan.FailsAhead());

    engine->StartRun();
    launcher.Finish();
    std::vector<std::string> planned;
    for (const PlannedLine& line : plan.lines) {
        if (line.Runs()) {
            planned.push_back(line.commandLine);
        }
    }
    // The run writes its outputs under temporary names until the job is done; otherwise its
    // lines are the plan's.
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Lines(), ""), planned);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Failed);
    EXPECT_EQ(Problems(results[0]).at(0).notRun, *plan.lines[0].notRun);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(BatchRunTest, ALineTheSettingsFileHoldsTooLongIsNeverRunCut) {
    const std::string longLine = "conv \"<%InputFile%>\" " + std::string(2100, 'x');
    WriteSettings({{{0, longLine}, {1, R"(conv "<%InputFile%>" "<%OutputFile%>.mp4")"}}});
    AddJobs({"/v/a.avi"});
    engine->StartRun();
    ASSERT_EQ(launcher.processes.size(), 1u);  // only the line that reads whole
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.Last().commandLine),
              R"(conv "/v/a.avi" "/out/.palomix-XXXXXX-a.mp4")");
    launcher.Finish();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Failed);
    ASSERT_EQ(Problems(results[0]).size(), 1u);
    EXPECT_EQ(Problems(results[0])[0].notRun.reason, NotRunReason::TooLong);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(BatchRunTest, FilesOfATypeTheCommandDoesNotTakeAreSkippedNotFailed) {
    std::ofstream(settingsFile, std::ios::trunc)
        << "[Info]\nExtensions=wav\n[Item0]\nTitle=t\nExtensions=mp3, .FLAC\n"
           "Command0=conv \"<%InputFile%>\"\n";
    AddJobs({"/m/a.MP3", "/m/folder.jpg", "/m/notes", "/m/b.flac"});
    engine->StartRun();
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(conv "/m/a.MP3")", R"(conv "/m/b.flac")"}));
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[1].outcome, JobOutcome::Skipped);
    EXPECT_EQ(results[1].problem, JobProblem::NotConvertible);
    EXPECT_EQ(results[1].problemSubject, "jpg");
    EXPECT_EQ(results[2].outcome, JobOutcome::Skipped);
    EXPECT_EQ(results[3].outcome, JobOutcome::Done);
}

// The 4 GiB of a FAT card limit outputs, not sources: a camcorder file over 4 GiB converts for
// a player, and an output the card refuses fails its job with that reason.
TEST_F(BatchRunTest, TheFourGibLimitJudgesTheOutputNotTheSource) {
    WriteSettings({{{0, R"(conv "<%InputFile%>" "<%PSPVideoOutputFile%>.MP4")"}}});
    devices.drives = {"/psp"};
    devices.folders = {"/psp/PSP/GAME"};
    devices.fatDrives = {"/psp"};
    const std::string big = temp.Path("big.mp4");
    std::filesystem::resize_file((std::ofstream(big), big), 4608LL * 1024 * 1024);  // sparse
    launcher.logText = [](const std::string& line) {
        return line.find("refused") != std::string::npos
                   ? "[mp4 @ 0x1] Error writing trailer: File too large\n"
                   : std::string();
    };
    AddJobs({big, temp.Path("refused.mp4")});
    engine->StartRun();
    ASSERT_EQ(launcher.processes.size(), 1u);
    launcher.Finish();
    launcher.Finish(ProcessExit{ProcessExit::Kind::Exited, 1});
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Done);
    EXPECT_EQ(results[1].outcome, JobOutcome::Failed);
    EXPECT_EQ(results[1].problem, JobProblem::TooLargeForPlayer);
    EXPECT_TRUE(results[1].problemSubject.starts_with("/psp/VIDEO/") &&
                results[1].problemSubject.ends_with("refused.MP4"))
        << results[1].problemSubject;
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(BatchRunTest, StopAfterTheCurrentFileLetsItFinishAndKeepsTheRest) {
    WriteSettings({{{0, "conv \"<%InputFile%>\""}, {1, "post \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    engine->StartRun();
    engine->FinishAfterCurrent();
    EXPECT_TRUE(engine->RunActive());
    launcher.Finish();
    launcher.Finish();  // a's second line still runs
    EXPECT_FALSE(engine->RunActive());
    EXPECT_EQ(observer.ends.back(), RunEndReason::FinishedEarly);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Done);
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi", "/v/c.avi"}));
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

// The lines a run started, with the temporary part of their output names taken out.
std::vector<std::string> StartedAsFinal(const testing::FakeLauncher& launcher) {
    return testing::MaskTemporaryMarks(launcher.Lines(), "");
}

TEST_F(BatchRunTest, ThePlanOfTheWholeListNamesAndSplitsAsTheRunDoes) {
    WriteSettings({{{0, R"(conv -i "<%InputFile%>" "<%OutputFile%>.mp4")"}}});
    AddJobs({"/v/clip.avi", "/w/clip.avi", "/v/other.avi", "/x/CLIP.avi"});
    std::vector<std::string> planned;
    std::vector<std::vector<std::string>> arguments;
    engine->PlanEach([&](const JobView& job, const JobPlan& plan) {
        EXPECT_EQ(job.path, Paths()[planned.size()]);
        planned.push_back(plan.lines.at(0).commandLine);
        arguments.push_back(plan.lines.at(0).arguments);
    });
    engine->StartRun();
    while (engine->RunActive()) {
        launcher.Finish();
    }
    EXPECT_EQ(StartedAsFinal(launcher), planned);
    EXPECT_EQ(planned[1], R"(conv -i "/w/clip.avi" "/out/clip (2).mp4")");
    // Read once into its arguments, as the launcher reads the line.
    EXPECT_EQ(arguments[1], (std::vector<std::string>{"-i", "/w/clip.avi", "/out/clip (2).mp4"}));
}

TEST_F(BatchRunTest, TheListsChangesReachTheObserverAsFactsInOrder) {
    class Facts : public EngineObserver {
    public:
        void JobsAdded(std::int32_t first, std::int32_t count) override {
            events.push_back("added " + std::to_string(first) + "+" + std::to_string(count));
        }
        void JobsRemoved(std::int32_t first, std::int32_t count) override {
            events.push_back("removed " + std::to_string(first) + "+" + std::to_string(count));
        }
        void JobStatusChanged(std::int32_t index) override {
            events.push_back("status " + std::to_string(index));
        }
        void JobEnded(const JobResult& result) override {
            events.push_back("ended " + result.path);
        }
        std::vector<std::string> events;
    } facts;
    engine->AddObserver(&facts);
    WriteSettings({{{0, R"(conv "<%InputFile%>")"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    engine->StartRun();
    launcher.Finish();
    EXPECT_EQ(facts.events,
              (Events{"added 0+2", "status 0", "removed 0+1", "ended /v/a.avi", "status 0"}));
    engine->RemoveObserver(&facts);
    launcher.Finish();
    EXPECT_EQ(facts.events.size(), 5u);
    EXPECT_EQ(observer.finished.size(), 2u);  // the other observer is still told
}

TEST_F(BatchRunTest, FilesPutIntoTheListComeInByTheOneRuleForPaths) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX spellings of paths";
#endif
    const std::vector<std::string> files{"/v/./a/../b.avi", "/v//c/"};
    engine->AddFiles(files);
    const std::vector<JobEntry> kept{{"/v/x/../b.avi", "", std::nullopt}};
    engine->AddFiles(kept);
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi", "/v/c", "/v/b.avi"}));
    EXPECT_EQ(IncomingPath("/v/b.avi"), "/v/b.avi");
}

}  // namespace
}  // namespace palomix
