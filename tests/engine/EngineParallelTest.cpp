// Several conversions at once, against the fake launcher: the test decides which converter
// ends when.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/OutputCheck.h"

namespace palomix {
namespace {

using Lines = std::vector<std::string>;

class ParallelTest : public testing::EngineTest {
protected:
    std::string StatusOf(std::int32_t index) const {
        return testing::StatusText(engine->Status(index));
    }
    std::vector<std::string> Finished() const {
        std::vector<std::string> paths;
        for (const JobResult& result : observer.finished) {
            paths.push_back(result.path);
        }
        return paths;
    }
};

TEST_F(ParallelTest, AtMostNConvertFromTheTopAndJobsLeaveAsTheyFinish) {
    WriteSettings({{{0, R"(conv "<%InputFile%>")"}, {1, R"(post "<%InputFile%>")"}}});
    engine->SetSimultaneousJobs(2);
    AddJobs({"/v/a", "/v/b", "/v/c", "/v/d"});
    engine->StartRun();
    EXPECT_EQ(launcher.RunningLines(), (Lines{R"(conv "/v/a")", R"(conv "/v/b")"}));
    EXPECT_TRUE(launcher.launchOptions.back().lowPriority);  // below the window
    EXPECT_EQ(StatusOf(0), "Converting...(00:00:00)");
    EXPECT_EQ(StatusOf(1), "Converting...(00:00:00)");
    EXPECT_EQ(StatusOf(2), "Wait...");

    launcher.Finish(R"(conv "/v/b")");  // each job runs its own lines one after the other
    EXPECT_EQ(launcher.RunningLines(), (Lines{R"(conv "/v/a")", R"(post "/v/b")"}));
    launcher.Finish(R"(post "/v/b")");  // b is done first and leaves; c takes its place
    EXPECT_EQ(Finished(), (Lines{"/v/b"}));
    EXPECT_EQ(launcher.RunningLines(), (Lines{R"(conv "/v/a")", R"(conv "/v/c")"}));
    EXPECT_EQ(Paths(), (Lines{"/v/a", "/v/c", "/v/d"}));

    while (!launcher.RunningLines().empty()) {
        launcher.Finish(launcher.RunningLines().front());
        EXPECT_LE(launcher.RunningLines().size(), 2u);
    }
    EXPECT_EQ(Finished(), (Lines{"/v/b", "/v/a", "/v/c", "/v/d"}));
    EXPECT_FALSE(engine->RunActive());
}

TEST_F(ParallelTest, LinesForOnePlayerWaitForEachOtherAndSameNamesStayApart) {
    WriteSettings({{{0, R"(conv "<%InputFile%>" "<%OutputFile%>.mp4")"},
                    {1, R"(put "<%InputFile%>" "<%PSPVideoOutputFile%>.MP4")"}}});
    devices.drives = {"/psp"};
    devices.folders = {"/psp/PSP/GAME"};
    engine->SetSimultaneousJobs(3);
    AddJobs({"/a/clip.avi", "/b/clip.avi"});
    engine->StartRun();
    // Same BaseName into one folder: the second job gets its own name before it starts.
    EXPECT_EQ(testing::MaskTemporaryMarks(launcher.RunningLines()),
              (Lines{R"(conv "/a/clip.avi" "/out/.palomix-XXXXXX-clip.mp4")",
                     R"(conv "/b/clip.avi" "/out/.palomix-XXXXXX-clip (2).mp4")"}));
    // The row's progress says the name used, only where it is not the input's own.
    EXPECT_EQ(engine->ProgressOf(engine->Job(0).id)->renamedTo, "");
    EXPECT_EQ(engine->ProgressOf(engine->Job(1).id)->renamedTo, "clip (2)");
    launcher.Finish(launcher.RunningLines()[0]);
    launcher.Finish(launcher.RunningLines()[0]);
    // Both want the player: one writes, the other waits until it is done.
    ASSERT_EQ(launcher.RunningLines().size(), 1u);
    launcher.Finish(launcher.RunningLines()[0]);
    ASSERT_EQ(launcher.RunningLines().size(), 1u);
    EXPECT_NE(launcher.RunningLines()[0].find("/psp/VIDEO/"), std::string::npos);
    launcher.Finish(launcher.RunningLines()[0]);
    EXPECT_FALSE(engine->RunActive());
    ASSERT_EQ(observer.finished.size(), 2u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Done);
    EXPECT_EQ(observer.finished[1].outcome, JobOutcome::Done);
}

TEST_F(ParallelTest, ARowsOwnStopAStopOfAllAndAFailureTouchOnlyWhatTheyName) {
    WriteSettings({{{0, R"(conv "<%InputFile%>")"}}});
    engine->SetSimultaneousJobs(3);
    AddJobs({"/v/a", "/v/b", "/v/c", "/v/d", "/v/e"});
    engine->StartRun();
    launcher.Finish(R"(conv "/v/c")", ProcessExit{ProcessExit::Kind::Exited, 1});
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Failed);
    EXPECT_EQ(launcher.RunningLines(),
              (Lines{R"(conv "/v/a")", R"(conv "/v/b")", R"(conv "/v/d")"}));

    ASSERT_TRUE(engine->StopJob(engine->Job(1).id));  // b's row
    EXPECT_EQ(observer.finished.back().path, "/v/b");
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Stopped);
    launcher.Finish(R"(conv "/v/b")", ProcessExit{ProcessExit::Kind::Signalled, 15});
    EXPECT_EQ(launcher.RunningLines(),
              (Lines{R"(conv "/v/a")", R"(conv "/v/d")", R"(conv "/v/e")"}));

    engine->StopAll();
    EXPECT_FALSE(engine->StopEnabled());
    for (const std::string& line : launcher.RunningLines()) {
        launcher.Finish(line, ProcessExit{ProcessExit::Kind::Signalled, 15});
    }
    EXPECT_FALSE(engine->RunActive());
    EXPECT_EQ(observer.ends.back(), RunEndReason::Interrupted);
    EXPECT_EQ(launcher.processes.size(), 5u);  // one each, nothing after the stop
    EXPECT_EQ(engine->JobCount(), 0);
}

TEST_F(ParallelTest, RemovingAndMovingUpLeaveTheConvertingJobsWhereTheyAre) {
    WriteSettings({{{0, R"(conv "<%InputFile%>")"}}});
    engine->SetSimultaneousJobs(2);
    AddJobs({"/v/a", "/v/b", "/v/c", "/v/d", "/v/e"});
    engine->StartRun();
    const auto id = [this](std::int32_t index) { return engine->Job(index).id; };
    const std::vector<JobId> everything{id(0), id(1), id(2), id(3), id(4)};

    EXPECT_TRUE(engine->IsConverting(id(1)));
    EXPECT_FALSE(engine->IsConverting(id(2)));
    const std::vector<JobId> lastTwo{id(3), id(4)};
    engine->MoveToTop(lastTwo);  // below the converting ones, in their own order
    EXPECT_EQ(Paths(), (Lines{"/v/a", "/v/b", "/v/d", "/v/e", "/v/c"}));

    EXPECT_EQ(engine->RemoveWaiting(everything), 3);  // only a stop ends a converting job
    EXPECT_EQ(Paths(), (Lines{"/v/a", "/v/b"}));
    launcher.Finish(R"(conv "/v/a")");
    launcher.Finish(R"(conv "/v/b")");
    EXPECT_EQ(launcher.processes.size(), 2u);
    EXPECT_FALSE(engine->RunActive());
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

// Progress through the door: a probe tells the length, the converter's log the position.
TEST(EngineProgressTest, AJobAndTheQueueShowHowFarTheyHaveComeFromLengthsAndLogs) {
    testing::TempFolder temp;
    testing::FakeLauncher launcher;
    testing::FakeDevices devices;
    launcher.logFolder = temp.MakeFolder("logs");
    launcher.logText = [](const std::string& line) {
        return line.rfind("probe", 0) == 0 ? std::string("format_name=mov\nduration=10.000000\n")
                                           : std::string();
    };
    const std::string settings = temp.Path("s.ini");
    std::ofstream(settings) << "[Item0]\nTitle=t\nCommand0=conv \"<%InputFile%>\"\n";
    EngineSetup setup;
    setup.programFolder = "/app";
    setup.style = PathStyle::Posix;
    setup.probeProgram = "probe";
    setup.devices = std::make_unique<testing::DevicesRef>(devices);
    setup.makeLauncher = [&launcher](PostToHost) {
        return std::make_unique<testing::LauncherRef>(launcher);
    };
    Engine engine(std::move(setup), [](std::function<void()>) {});
    engine.UseCommand(ChosenCommand{settings, 0});
    const std::vector<std::string> paths{"/v/a.mp4", "/v/b.mp4"};
    engine.AddFiles(paths);
    engine.StartRun();

    // The converting job's length is asked for first, then the waiting one's, below priority
    // and with a time limit.
    const std::string probe = "probe " + std::string(kLengthProbeArguments) + " ";
    ASSERT_EQ(launcher.RunningLines(),
              (Lines{probe + "/v/a.mp4", probe + "/v/b.mp4", R"(conv "/v/a.mp4")"}));
    EXPECT_TRUE(launcher.launchOptions[0].lowPriority);
    EXPECT_TRUE(launcher.launchOptions[0].timeLimit);
    const JobId a = engine.Job(0).id;
    EXPECT_FALSE(engine.ProgressOf(a)->percent);  // no length yet: no number
    launcher.Finish(probe + "/v/a.mp4");
    launcher.Finish(probe + "/v/b.mp4");

    std::ofstream(launcher.processes[2].logPath, std::ios::app)
        << "size= 1kB time=00:00:02.50 bitrate=1 speed=2.5x\r";
    engine.Tick();
    EXPECT_DOUBLE_EQ(*engine.ProgressOf(a)->percent, 25.0);
    EXPECT_DOUBLE_EQ(*engine.ProgressOf(a)->speed, 2.5);
    EXPECT_DOUBLE_EQ(*engine.Queue().percent, 12.5);  // 2.5 of 20 media seconds
    EXPECT_EQ(engine.Queue().jobsLeft, 2);
    engine.Tick();
    ASSERT_TRUE(engine.Queue().secondsLeft);  // 17.5 s at 1.25 media s a second
    EXPECT_EQ(*engine.Queue().secondsLeft, 14);
}

}  // namespace
}  // namespace palomix
