// Several conversions at once, against the fake launcher: the test decides which converter
// ends when.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"

namespace palomix {
namespace {

using Lines = std::vector<std::string>;

class ParallelTest : public testing::EngineTest {
protected:
    std::string StatusOf(std::int32_t index) const {
        return testing::StatusText(engine->Jobs().Status(index));
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
    EXPECT_EQ(launcher.RunningLines(),
              (Lines{R"(conv "/a/clip.avi" "/out/clip.palomix-part.mp4")",
                     R"(conv "/b/clip.avi" "/out/clip (2).palomix-part.mp4")"}));
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

    ASSERT_TRUE(engine->StopJob(engine->Jobs().Id(1)));  // b's row
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
    EXPECT_TRUE(engine->Jobs().Empty());
}

}  // namespace
}  // namespace palomix
