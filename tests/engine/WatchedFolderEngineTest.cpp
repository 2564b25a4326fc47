// Watched folders through the core's door: what a watch finds joins the list with the watch's
// own command and output folder, how its jobs end goes into its record, lost events are made up
// for, and a kept queue's jobs are not queued twice. The events are the test's own, so that it
// decides which are lost; the files are real.
#include <gtest/gtest.h>

#include <filesystem>

#include "EngineTestSupport.h"
#include "WatchTestSupport.h"
#include "engine/Engine.h"

namespace palomix::testing {
namespace {

class WatchFacts final : public RecordingObserver {
public:
    void WatchQueued(WatchId id, std::int32_t count) override { queued.emplace_back(id, count); }
    void WatchChanged(WatchId /*id*/) override { ++changes; }
    std::vector<std::pair<WatchId, std::int32_t>> queued;
    int changes = 0;
};

class WatchedFolderTest : public ::testing::Test {
protected:
    WatchedFolderTest() {
        launcher.logFolder = temp.MakeFolder("logs");
        WriteFile(settingsFile,
                  "[Info]\r\nTitle=t\r\n[Item0]\r\nTitle=c\r\n"
                  "Command0=conv \"<%InputFile%>\" \"<%OutputFile%>.mp3\"\r\n");
        EngineSetup setup;
        setup.programFolder = temp.MakeFolder("app");
        setup.devices = std::make_unique<DevicesRef>(devices);
        setup.makeLauncher = [this](PostToHost) { return std::make_unique<LauncherRef>(launcher); };
        setup.makeFolderEvents = desk.Maker();
        setup.watchRecordFolder = temp.Path("records");
        engine = std::make_unique<Engine>(std::move(setup), [](std::function<void()>) {});
        engine->SetWatchTiming(ShortTiming());
        engine->SetObserver(&facts);
        settings.folder = temp.MakeFolder("in");
        settings.command = ChosenCommand{settingsFile, 0};
        settings.outputFolder = temp.MakeFolder("out");
    }

    std::string In(const std::string& name) const { return JoinPath(settings.folder, name); }
    bool Listed(std::int32_t jobs) {
        return desk.WakeUntil([&] { return engine->JobCount() == jobs; }, 2s);
    }
    void Overflow() const {
        desk.Deliver({FolderEvent{FolderEvent::Kind::Overflow, {}, {}, false}});
    }

    TempFolder temp;
    std::string settingsFile = temp.Path("watch.ini");
    FakeLauncher launcher;
    FakeDevices devices;
    EventDesk desk;
    WatchFacts facts;
    WatchSettings settings;
    std::unique_ptr<Engine> engine;
};

TEST_F(WatchedFolderTest, FilesAWatchFindsJoinTheListWithItsOwnCommandAndOutputFolder) {
    WriteFile(In("a.wav"), "a");
    const WatchId id = engine->AddWatch(settings);
    EXPECT_EQ(desk.shared->folders, std::set<std::string>{settings.folder});
    ASSERT_TRUE(Listed(1));
    EXPECT_EQ(facts.queued, (std::vector<std::pair<WatchId, std::int32_t>>{{id, 1}}));
    const JobView job = engine->Job(0);
    EXPECT_EQ(job.path, In("a.wav"));
    ASSERT_NE(job.command, nullptr);
    EXPECT_EQ(*job.command, settings.command);
    EXPECT_EQ(job.outputFolder, settings.outputFolder);

    // Nothing is chosen in the window's lists: the job converts with its own.
    ASSERT_FALSE(engine->CurrentCommand());
    engine->StartRun();
    EXPECT_EQ(MaskTemporaryMarks(launcher.Last().commandLine),
              "conv \"" + In("a.wav") + "\" \"" +
                  JoinPath(settings.outputFolder, ".palomix-XXXXXX-a.mp3") + "\"");
    launcher.Finish();
    EXPECT_EQ(engine->Watch(id)->converted, 1);
    EXPECT_EQ(engine->Watch(id)->queued, 0);
    EXPECT_GT(facts.changes, 0);
    Overflow();
    EXPECT_FALSE(Listed(1));
}

TEST_F(WatchedFolderTest, AnOverflowOfEventsAndEventsLostAreMadeUpForByFullLooks) {
    WatchTiming timing = ShortTiming();
    timing.rescan = 600ms;
    engine->SetWatchTiming(timing);
    engine->AddWatch(settings);
    WriteFile(In("told by no event.wav"), "x");
    Overflow();
    ASSERT_TRUE(Listed(1));
    // Lost without even an overflow: the rescan finds it.
    WriteFile(In("lost.wav"), "y");
    ASSERT_TRUE(Listed(2));
    EXPECT_EQ(engine->Job(1).path, In("lost.wav"));
}

TEST_F(WatchedFolderTest, AFileTakenOutOrFailedIsNotTakenAgainUntilRetried) {
    WriteFile(In("a.wav"), "a");
    WriteFile(In("b.wav"), "b");
    const WatchId id = engine->AddWatch(settings);
    ASSERT_TRUE(Listed(2));
    const JobId b = engine->Job(0).path == In("b.wav") ? engine->Job(0).id : engine->Job(1).id;
    EXPECT_EQ(engine->RemoveWaiting(std::vector<JobId>{b}), 1);
    engine->StartRun();
    launcher.Finish(ProcessExit{ProcessExit::Kind::Exited, 1, false});
    const WatchView view = *engine->Watch(id);
    ASSERT_EQ(view.failures.size(), 1u);
    EXPECT_EQ(view.failures[0].path, In("a.wav"));
    EXPECT_EQ(view.failures[0].result.outcome, JobOutcome::Failed);

    Overflow();
    EXPECT_FALSE(Listed(1));
    EXPECT_TRUE(engine->RetryWatchFailures(id));
    EXPECT_EQ(engine->JobCount(), 1);
    EXPECT_EQ(engine->Job(0).path, In("a.wav"));
    EXPECT_TRUE(engine->Watch(id)->failures.empty());
}

// The window put back a kept queue before its watches began: their files are in the list with
// the watch's command and output folder, and are not queued a second time.
TEST_F(WatchedFolderTest, JobsOfAKeptQueueAreTakenAsTheWatchsOwn) {
    WriteFile(In("a.wav"), "a");
    const std::vector<JobEntry> kept{{In("a.wav"), "", settings.command, settings.outputFolder}};
    engine->AddFiles(kept);
    const WatchId id = engine->AddWatch(settings);
    EXPECT_FALSE(Listed(2));
    EXPECT_EQ(engine->Watch(id)->queued, 1);
    engine->StartRun();
    launcher.Finish();
    EXPECT_EQ(engine->Watch(id)->converted, 1);
}

}  // namespace
}  // namespace palomix::testing
