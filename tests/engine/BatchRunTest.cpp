// The batch run against a fake launcher: the test plays the host and delivers each process's
// end when it wants, so every step of the run can be looked at.
#include "engine/BatchRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DeviceOutputFakes.h"
#include "FakeLauncher.h"
#include "engine/RunTimerText.h"

namespace palomix {
namespace {

using testing::FakeDevices;
using testing::FakeLauncher;
using testing::TempFolder;

constexpr ProcessExit kSignalled{ProcessExit::Kind::Signalled, 15};

// Everything the front end is told, as short texts in order.
class RecordingObserver : public BatchRunObserver {
public:
    std::vector<std::string> events;
    std::vector<JobResult> finished;
    std::vector<RunEnd> ends;
    std::function<void(const JobResult&)> onJobFinished;

    void StopEnabledChanged(bool enabled) override {
        events.push_back(enabled ? "stop on" : "stop off");
    }
    void CommandStarted(const std::string& commandLine) override {
        events.push_back("started " + commandLine);
    }
    void ShowMessage(const std::string& text) override { events.push_back("message " + text); }
    void JobFinished(const JobResult& result) override {
        events.push_back(std::string(JobOutcomeName(result.outcome)) + " " + result.path);
        finished.push_back(result);
        if (onJobFinished) {
            onJobFinished(result);
        }
    }
    void RunEnded(const RunEnd& end) override {
        static constexpr const char* kReasons[] = {"queue empty", "launch failed",
                                                   "nothing selected"};
        events.push_back(std::string("ended: ") + kReasons[static_cast<int>(end.reason)]);
        ends.push_back(end);
    }
};

// Every text the head's status cell takes, in order.
class StatusLog : public JobQueueObserver {
public:
    explicit StatusLog(const JobQueue& jobs) : jobs_(jobs) {}
    std::vector<std::string> texts;

    void CellsChanged(int firstRow, int lastRow, int firstColumn, int) override {
        if (firstRow <= 1 && lastRow >= 1 && firstColumn == kStatusColumn) {
            texts.push_back(jobs_.Cell(kStatusColumn, 1));
        }
    }

private:
    const JobQueue& jobs_;
};

class BatchRunTest : public ::testing::Test {
protected:
    BatchRunTest() : statusLog(jobs) {
        jobs.AddObserver(&statusLog);
        launcher.logFolder = temp.MakeFolder("logs");
        chosen = ChosenCommand{settingsFile, 0};
        MakeRun();
    }
    ~BatchRunTest() override { jobs.RemoveObserver(&statusLog); }

    void MakeRun() {
        BatchRunSettings settings;
        settings.reader = reader;
        settings.appFolder = "/app";
        settings.style = PathStyle::Posix;
        settings.chosenCommand = [this] { return chosen; };
        settings.outputFolder = [this] { return outputFolder; };
        settings.languageMarks = [this] { return marks; };
        run = std::make_unique<BatchRun>(jobs, launcher, devices, std::move(settings));
        run->SetObserver(&observer);
    }

    // Writes the settings file anew, one section per item, each given as its command lines
    // by number.
    void WriteSettings(const std::vector<std::vector<std::pair<int, std::string>>>& items) {
        std::ofstream file(settingsFile, std::ios::binary | std::ios::trunc);
        file << "[Info]\r\nTitle=t\r\n";
        for (std::size_t item = 0; item < items.size(); ++item) {
            file << "[Item" << item << "]\r\nTitle=c" << item << "\r\n";
            for (const auto& [number, line] : items[item]) {
                file << "Command" << number << "=" << line << "\r\n";
            }
        }
    }

    void AddJobs(std::initializer_list<std::string> paths) {
        for (const std::string& path : paths) {
            jobs.AddJob(path);
        }
    }

    std::string Status() const { return jobs.Cell(kStatusColumn, 1); }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (std::int32_t i = 0; i < jobs.JobCount(); ++i) {
            paths.push_back(jobs.JobPath(i));
        }
        return paths;
    }

    TempFolder temp;
    std::string settingsFile = temp.Path("settings.ini");
    std::shared_ptr<IniReader> reader = std::make_shared<IniReader>();
    JobQueue jobs{PathStyle::Posix};
    StatusLog statusLog;
    FakeLauncher launcher;
    FakeDevices devices;
    std::optional<ChosenCommand> chosen;
    std::string outputFolder = "/out";
    LanguageMarks marks;
    RecordingObserver observer;
    std::unique_ptr<BatchRun> run;
};

using Events = std::vector<std::string>;
using Lines = std::vector<std::string>;

// --- Timer text ------------------------------------------------------------------------------

TEST(RunTimerText, TwoDigitsEachAndUnboundedHours) {
    EXPECT_EQ(ConvertingStatusText(0), "Converting...(00:00:00)");
    EXPECT_EQ(ConvertingStatusText(59), "Converting...(00:00:59)");
    EXPECT_EQ(ConvertingStatusText(60), "Converting...(00:01:00)");
    EXPECT_EQ(ConvertingStatusText(3599), "Converting...(00:59:59)");
    EXPECT_EQ(ConvertingStatusText(3600), "Converting...(01:00:00)");
    EXPECT_EQ(ConvertingStatusText(360000), "Converting...(100:00:00)");
    EXPECT_EQ(ElapsedTimeText(-5), "00:00:00");
}

TEST(RunTimerText, StopFailedMessageByLanguage) {
    EXPECT_EQ(StopFailedMessage(Language::Japanese), "変換を中止できませんでした.");
    EXPECT_EQ(StopFailedMessage(Language::English), "Could not stop the conversion.");
    EXPECT_EQ(StopFailedMessage(std::nullopt), "Could not stop the conversion.");
}

TEST_F(BatchRunTest, TicksShowTheJobTimeAndStopWhenNoRunIsActive) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi"});
    run->Timer0Timer();
    EXPECT_EQ(Status(), "Wait...");  // no run: the grid is left alone
    EXPECT_EQ(run->ElapsedSeconds(), 0);

    run->StartRun();
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_EQ(run->ElapsedSeconds(), 1);
    for (int i = 0; i < 60; ++i) {
        run->Timer0Timer();
    }
    EXPECT_EQ(Status(), "Converting...(00:01:00)");
    EXPECT_EQ(run->ElapsedSeconds(), 61);
}

// --- Starting and the order of jobs ----------------------------------------------------------

TEST_F(BatchRunTest, EmptyListEnablesAndDisablesStopAndNothingElse) {
    WriteSettings({{{0, "prog x"}}});
    run->StartRun();
    EXPECT_EQ(observer.events, (Events{"stop on", "stop off", "ended: queue empty"}));
    EXPECT_FALSE(run->RunActive());
    EXPECT_FALSE(run->StopEnabled());
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_TRUE(devices.created.empty());
    EXPECT_TRUE(statusLog.texts.empty());
    EXPECT_EQ(jobs.RowCount(), 2);
    EXPECT_TRUE(run->Results().empty());
}

TEST_F(BatchRunTest, ThreeJobsRunInOrderAndTheRowsMoveUp) {
    WriteSettings({{{0, "prog \"<%InputFile%>\" \"<%OutputFile%>.mp4\""}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    run->StartRun();
    EXPECT_TRUE(run->RunActive());
    EXPECT_TRUE(run->StopEnabled());
    EXPECT_EQ(launcher.Lines(), (Lines{R"(prog "/v/a.avi" "/out/a.mp4")"}));
    EXPECT_EQ(run->CurrentProcess(), launcher.Last().handle);
    EXPECT_EQ(jobs.RowCount(), 4);

    launcher.Finish();
    EXPECT_EQ(jobs.RowCount(), 3);
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi", "/v/c.avi"}));
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_EQ(launcher.Last().commandLine, R"(prog "/v/b.avi" "/out/b.mp4")");

    launcher.Finish();
    EXPECT_EQ(jobs.RowCount(), 2);
    EXPECT_EQ(launcher.Last().commandLine, R"(prog "/v/c.avi" "/out/c.mp4")");

    launcher.Finish();
    EXPECT_EQ(jobs.RowCount(), 2);
    for (int column = 0; column < kJobGridColumns; ++column) {
        EXPECT_EQ(jobs.Cell(column, 1), "");
    }
    EXPECT_FALSE(run->RunActive());
    EXPECT_FALSE(run->StopEnabled());
    ASSERT_EQ(run->Results().size(), 3u);
    for (const JobResult& result : run->Results()) {
        EXPECT_EQ(result.outcome, JobOutcome::Done);
        EXPECT_EQ(result.commandsRun, 1);
    }
    EXPECT_EQ(run->Results()[2].path, "/v/c.avi");
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
    run->StartRun();
    // A drop while the first command runs: its rows are appended and StartRun returns at once.
    AddJobs({"/v/b.avi", "/v/c.avi"});
    run->StartRun();
    EXPECT_EQ(launcher.processes.size(), 1u);
    EXPECT_EQ(run->ElapsedSeconds(), 1);  // not restarted for the head
    while (launcher.Running() > 0) {
        launcher.Finish();
    }
    EXPECT_EQ(launcher.Lines(),
              (Lines{R"(prog "/v/a.avi")", R"(post "/v/a.avi")", R"(prog "/v/b.avi")",
                     R"(post "/v/b.avi")", R"(prog "/v/c.avi")", R"(post "/v/c.avi")"}));
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_EQ(launcher.overlappingLaunches, 0);
}

TEST_F(BatchRunTest, ADropFromAJobFinishedHandlerIsConvertedByTheSameRun) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""}}});
    observer.onJobFinished = [this](const JobResult& result) {
        if (result.path == "/v/a.avi") {
            jobs.AddJob("/v/late.avi");
            run->StartRun();
        }
    };
    AddJobs({"/v/a.avi"});
    run->StartRun();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(prog "/v/a.avi")", R"(prog "/v/late.avi")"}));
    launcher.Finish();
    EXPECT_FALSE(run->RunActive());
    EXPECT_EQ(observer.ends.size(), 1u);
}

TEST_F(BatchRunTest, EmptyAndToolTemplatesPassJobsThroughWithoutAProcess) {
    WriteSettings({{{0, ""},
                    {1, "\"<%AppPath%>\\cores\\Platenfold\" \"<%InputFile%>\""},
                    {2, "rm \"<%OutputFile%>\""},
                    {255, "Boxwright x"}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    run->StartRun();
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_FALSE(run->RunActive());
    // Every job showed its zero time as it passed.
    EXPECT_EQ(std::count(statusLog.texts.begin(), statusLog.texts.end(), "Converting...(00:00:00)"),
              3);
    ASSERT_EQ(run->Results().size(), 3u);
    EXPECT_EQ(run->Results()[0].outcome, JobOutcome::Done);
    EXPECT_EQ(run->Results()[0].commandsRun, 0);
}

TEST_F(BatchRunTest, ManyJobsWithoutCommandsPassOnAFlatStack) {
    WriteSettings({{}});
    std::vector<std::string> paths;
    for (int i = 0; i < 20000; ++i) {
        paths.push_back("/v/" + std::to_string(i));
    }
    jobs.AddJobs(paths);
    run->StartRun();
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_EQ(run->Results().size(), 20000u);
}

// --- Reading the templates -------------------------------------------------------------------

TEST_F(BatchRunTest, TemplatesWithGapsRunInNumberOrder) {
    WriteSettings({{{7, "seven \"<%InputFile%>\""}, {0, "zero \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi"});
    run->StartRun();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(zero "/v/a.avi")"}));
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(zero "/v/a.avi")", R"(seven "/v/a.avi")"}));
    EXPECT_EQ(jobs.JobCount(), 1);  // the job stays until its last template is done
    launcher.Finish();
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_EQ(run->Results().at(0).commandsRun, 2);
}

TEST_F(BatchRunTest, AnEditOfTheSettingsFileCountsFromTheNextTemplate) {
    WriteSettings({{{0, "first"}, {1, "second"}}});
    AddJobs({"/v/a.avi"});
    run->StartRun();
    WriteSettings({{{0, "changed-first"}, {1, "changed-second"}, {2, "added"}}});
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{"first", "changed-second", "added"}));
}

TEST_F(BatchRunTest, AChangeOfSelectionCountsFromTheNextTemplate) {
    WriteSettings({{{0, "item0-a"}, {1, "item0-b"}}, {{0, "item1-a"}, {1, "item1-b"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    chosen = ChosenCommand{settingsFile, 1};  // a language switch chose another item
    launcher.Finish();
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{"item0-a", "item1-b", "item1-a", "item1-b"}));
}

TEST_F(BatchRunTest, TheOutputFolderIsReadAndCreatedAtTheStartOfEveryJob) {
    WriteSettings({{{0, "one \"<%OutputFile%>\""}, {1, "two \"<%OutputFile%>\""}}});
    outputFolder = "/out/first";
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    EXPECT_EQ(devices.created, (Lines{"/out/first"}));
    outputFolder = "/out/second";  // changed while job a runs: a keeps its folder
    launcher.Finish();
    EXPECT_EQ(launcher.Last().commandLine, R"(two "/out/first/a")");
    launcher.Finish();
    EXPECT_EQ(devices.created, (Lines{"/out/first", "/out/second"}));
    EXPECT_EQ(launcher.Last().commandLine, R"(one "/out/second/b")");
}

TEST_F(BatchRunTest, AFolderThatCannotBeCreatedDoesNotStopTheRun) {
    WriteSettings({{{0, "prog"}}});
    devices.createFails = true;
    AddJobs({"/v/a.avi"});
    run->StartRun();
    EXPECT_EQ(launcher.processes.size(), 1u);
}

TEST_F(BatchRunTest, WithNothingSelectedNoJobStarts) {
    WriteSettings({{{0, "prog"}}});
    chosen.reset();
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    EXPECT_EQ(observer.events, (Events{"ended: nothing selected"}));
    EXPECT_FALSE(run->RunActive());
    EXPECT_EQ(jobs.JobCount(), 2);
    EXPECT_EQ(Status(), "Wait...");
    EXPECT_TRUE(launcher.processes.empty());
    EXPECT_TRUE(devices.created.empty());

    // Chosen later: the next drop starts the same jobs.
    chosen = ChosenCommand{settingsFile, 0};
    run->StartRun();
    EXPECT_EQ(launcher.processes.size(), 1u);
}

TEST_F(BatchRunTest, ASelectionLostBetweenJobsEndsTheRunAndKeepsTheRest) {
    WriteSettings({{{0, "prog"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    chosen.reset();
    launcher.Finish();
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi"}));
    EXPECT_FALSE(run->RunActive());
    EXPECT_FALSE(run->StopEnabled());
    EXPECT_EQ(observer.ends.back().reason, RunEndReason::NothingSelected);
}

TEST_F(BatchRunTest, TheElapsedTimeRestartsAtZeroForEveryJob) {
    WriteSettings({{{0, "prog"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    for (int i = 0; i < 5; ++i) {
        run->Timer0Timer();
    }
    EXPECT_EQ(Status(), "Converting...(00:00:05)");
    launcher.Finish();
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_EQ(run->ElapsedSeconds(), 1);
    EXPECT_EQ(run->Results().at(0).elapsedSeconds, 5);
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
    run->StartRun();
    launcher.Finish(ProcessExit{ProcessExit::Kind::Exited, 3});
    launcher.Finish();                                    // a's second command still runs
    launcher.Finish();                                    // b first
    launcher.Finish({ProcessExit::Kind::Signalled, 11});  // b second crashes
    launcher.Finish();                                    // c
    launcher.Finish();
    EXPECT_EQ(launcher.processes.size(), 6u);

    const std::vector<JobResult>& results = run->Results();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Failed);
    ASSERT_EQ(results[0].failures.size(), 1u);
    const FailedCommand& failure = results[0].failures[0];
    EXPECT_EQ(failure.commandLine, R"(first "/v/a.avi")");
    EXPECT_EQ(failure.exit, (ProcessExit{ProcessExit::Kind::Exited, 3}));
    ASSERT_EQ(failure.logLines.size(), kFailedCommandLogLines);
    EXPECT_EQ(failure.logLines.front(), R"(first "/v/a.avi" line 11)");
    EXPECT_EQ(failure.logLines.back(), R"(first "/v/a.avi" line 30)");

    EXPECT_EQ(results[1].outcome, JobOutcome::Failed);
    ASSERT_EQ(results[1].failures.size(), 1u);
    EXPECT_EQ(results[1].failures[0].exit, (ProcessExit{ProcessExit::Kind::Signalled, 11}));
    EXPECT_EQ(results[1].failures[0].commandLine, R"(second "/v/b.avi")");
    EXPECT_EQ(results[2].outcome, JobOutcome::Done);
    EXPECT_TRUE(results[2].failures.empty());
    // Every log was handed back once read.
    EXPECT_EQ(launcher.discarded.size(), 6u);
}

TEST_F(BatchRunTest, AProgramThatCannotStartEndsTheRunAndKeepsTheJob) {
    WriteSettings({{{0, "prog \"<%InputFile%>\""},
                    {1, "\"/opt/no such/missing\" \"<%InputFile%>\" -y"},
                    {2, "after"}}});
    launcher.missingPrograms = {"/opt/no such/missing"};
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    launcher.Finish();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(prog "/v/a.avi")"}));
    EXPECT_EQ(launcher.refusedLaunches, 1);
    EXPECT_FALSE(run->RunActive());
    EXPECT_FALSE(run->StopEnabled());
    EXPECT_EQ(run->CurrentProcess(), ProcessHandle{});
    EXPECT_EQ(Paths(), (Lines{"/v/a.avi", "/v/b.avi"}));
    EXPECT_EQ(Status(), "Could not start: missing");
    ASSERT_EQ(observer.ends.size(), 1u);
    EXPECT_EQ(observer.ends[0].reason, RunEndReason::LaunchFailed);
    EXPECT_EQ(observer.ends[0].detail, "the program \"/opt/no such/missing\" was not found");
    EXPECT_EQ(observer.ends[0].commandLine, R"("/opt/no such/missing" "/v/a.avi" -y)");
    ASSERT_EQ(run->Results().size(), 1u);
    EXPECT_EQ(run->Results()[0].outcome, JobOutcome::NotStarted);
    EXPECT_EQ(run->Results()[0].commandsRun, 1);
    EXPECT_EQ(run->Results()[0].launchFailure, observer.ends[0].detail);

    run->Timer0Timer();  // the time no longer advances
    EXPECT_EQ(Status(), "Could not start: missing");

    // The next drop starts again with the same head job, from its first template.
    run->StartRun();
    EXPECT_EQ(launcher.Last().commandLine, R"(prog "/v/a.avi")");
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
}

TEST_F(BatchRunTest, ABlankCommandLineCannotStart) {
    WriteSettings({{{0, "\"  \""}}});  // the quotes keep the blanks
    AddJobs({"/v/a.avi"});
    run->StartRun();
    EXPECT_EQ(Status(), "Could not start: (empty command line)");
    EXPECT_EQ(observer.ends.at(0).detail, "the command line is empty");
    EXPECT_EQ(jobs.JobCount(), 1);
}

// --- Stop ------------------------------------------------------------------------------------

TEST_F(BatchRunTest, StopOnTheLastJobEmptiesTheListAndDisablesTheButton) {
    WriteSettings({{{0, "prog"}, {1, "never"}}});
    AddJobs({"/v/a.avi"});
    run->StartRun();
    run->Timer0Timer();
    run->Button1Click();
    EXPECT_EQ(launcher.Last().terminateCalls, 1);
    EXPECT_TRUE(run->StopRequested());
    EXPECT_FALSE(run->StopEnabled());
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_EQ(jobs.RowCount(), 2);
    EXPECT_EQ(Status(), "");
    ASSERT_EQ(run->Results().size(), 1u);
    EXPECT_EQ(run->Results()[0].outcome, JobOutcome::Stopped);
    EXPECT_EQ(run->Results()[0].elapsedSeconds, 1);

    launcher.Finish(kSignalled);
    EXPECT_FALSE(run->StopRequested());
    EXPECT_FALSE(run->RunActive());
    EXPECT_EQ(launcher.Lines(), (Lines{"prog"}));
    EXPECT_EQ(observer.ends.size(), 1u);
    EXPECT_EQ(run->Results().size(), 1u);  // the stopped command's end adds no result
}

TEST_F(BatchRunTest, StopOnTheFirstOfThreeStartsTheNextJobOnceTheProcessHasEnded) {
    WriteSettings({{{0, "one \"<%InputFile%>\""}, {1, "two \"<%InputFile%>\""}}});
    AddJobs({"/v/a.avi", "/v/b.avi", "/v/c.avi"});
    run->StartRun();
    run->Timer0Timer();
    run->Timer0Timer();
    run->Button1Click();
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi", "/v/c.avi"}));
    EXPECT_EQ(jobs.RowCount(), 3);
    // The terminated process has not ended yet: nothing new starts, and the new head shows
    // no time of the stopped job.
    EXPECT_EQ(launcher.processes.size(), 1u);
    run->Timer0Timer();
    EXPECT_EQ(Status(), "Wait...");
    EXPECT_TRUE(run->RunActive());

    launcher.Finish(kSignalled);
    EXPECT_EQ(Status(), "Converting...(00:00:00)");
    EXPECT_TRUE(run->StopEnabled());
    EXPECT_FALSE(run->StopRequested());
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
    run->StartRun();
    launcher.Exit();  // ended, but the end has not been delivered yet
    const std::vector<std::string> statuses = statusLog.texts;

    run->Button1Click();
    marks = LanguageMarks{false, true};
    run->Button1Click();
    marks = LanguageMarks{false, false};
    run->Button1Click();
    EXPECT_EQ(
        (Events{observer.events.end() - 3, observer.events.end()}),
        (Events{"message 変換を中止できませんでした.", "message Could not stop the conversion.",
                "message Could not stop the conversion."}));
    EXPECT_FALSE(run->StopRequested());
    EXPECT_TRUE(run->StopEnabled());
    EXPECT_EQ(jobs.JobCount(), 2);
    EXPECT_EQ(statusLog.texts, statuses);
    EXPECT_TRUE(run->Results().empty());

    launcher.Deliver();  // the run goes on as if nothing had happened
    EXPECT_EQ(launcher.Last().commandLine, "next");
}

TEST_F(BatchRunTest, StopWithNoProcessOrADisabledButton) {
    WriteSettings({{{0, "prog"}}});
    run->Button1Click();  // idle: the button is disabled
    EXPECT_TRUE(observer.events.empty());

    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    run->Button1Click();
    run->Button1Click();  // disabled during the hand-over: nothing happens
    EXPECT_EQ(launcher.Last().terminateCalls, 1);
    EXPECT_EQ(jobs.JobCount(), 1);
    EXPECT_EQ(run->Results().size(), 1u);
}

TEST_F(BatchRunTest, TheStoppedProcessMayEndInsideTheStoppedJobHandler) {
    // A window handler that runs a nested event loop can see the stopped command's end arrive
    // before the Stop returns.
    WriteSettings({{{0, "one \"<%InputFile%>\""}, {1, "two \"<%InputFile%>\""}}});
    observer.onJobFinished = [this](const JobResult& result) {
        if (result.outcome == JobOutcome::Stopped) {
            launcher.Finish(kSignalled);
        }
    };
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    run->Button1Click();
    EXPECT_EQ(launcher.Lines(), (Lines{R"(one "/v/a.avi")", R"(one "/v/b.avi")"}));
    EXPECT_TRUE(run->StopEnabled());
    EXPECT_EQ(Paths(), (Lines{"/v/b.avi"}));
    launcher.Finish();
    launcher.Finish();
    EXPECT_EQ(jobs.JobCount(), 0);
    EXPECT_FALSE(run->RunActive());
}

// --- Lifetime --------------------------------------------------------------------------------

TEST_F(BatchRunTest, AnEndArrivingAfterTheRunIsGoneTouchesNothing) {
    WriteSettings({{{0, "prog"}}});
    AddJobs({"/v/a.avi"});
    run->StartRun();
    run.reset();
    EXPECT_EQ(launcher.Last().terminateCalls, 1);
    launcher.Finish(kSignalled);
    EXPECT_EQ(jobs.JobCount(), 1);
    EXPECT_EQ(launcher.processes.size(), 1u);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(BatchRunTest, ALineForAPlayerThatIsNotAttachedIsNotStartedAndTheJobFails) {
    WriteSettings({{{0, R"(conv "<%InputFile%>" "<%PSPVideoOutputFile%>.MP4")"},
                    {1, R"(conv "<%InputFile%>" "<%OutputFile%>.mp4")"}}});
    AddJobs({"/v/a.avi", "/v/b.avi"});
    run->StartRun();
    // a: the PSP line is passed over, the output-folder line runs.
    ASSERT_EQ(launcher.processes.size(), 1u);
    EXPECT_EQ(launcher.processes[0].commandLine, R"(conv "/v/a.avi" "/out/a.mp4")");
    // b: a PSP is attached by now and gets the output.
    devices.drives = {"/psp"};
    devices.folders = {"/psp/PSP/GAME"};
    launcher.Finish();
    ASSERT_EQ(launcher.processes.size(), 2u);
    EXPECT_EQ(launcher.processes[1].commandLine, R"(conv "/v/b.avi" "/psp/VIDEO/b.MP4")");
    launcher.Finish();
    launcher.Finish();

    const std::vector<JobResult>& results = run->Results();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, JobOutcome::Failed);
    ASSERT_EQ(results[0].failures.size(), 1u);
    EXPECT_EQ(results[0].failures[0].commandLine, R"(conv "/v/a.avi" ".MP4")");
    EXPECT_EQ(results[0].failures[0].Outcome(), "not run: no PSP is attached");
    EXPECT_EQ(results[1].outcome, JobOutcome::Done);
}

}  // namespace
}  // namespace palomix
