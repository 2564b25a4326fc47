// What palomix-batch prints and returns for a run, with the real BatchRun and a launcher that
// starts nothing, so the test decides when each command ends and when its end arrives.
#include "cli/RunReporter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "engine/EngineTestSupport.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;

class RunReporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("palomix-reporter-" + std::to_string(random()));
        fs::create_directories(folder_);
        settings_ = (folder_ / "t.ini").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Item0 with the command lines given; jobs for the paths; the run, ready to start.
    void Prepare(const std::string& commands, std::initializer_list<std::string> paths) {
        std::ofstream(settings_) << "[Item0]\nTitle=t\n" << commands;
        paths_ = paths;
        run_ = MakeTestEngine(launcher_, *devices_, settings_);
        run_->SetOutputFolder({});
        run_->AddFiles(paths_);
        reporter_ = std::make_unique<RunReporter>(*run_, err_);
        run_->SetObserver(reporter_.get());
    }

    fs::path folder_;
    std::string settings_;
    std::vector<std::string> paths_;
    FakeLauncher launcher_;
    std::unique_ptr<DeviceAccess> devices_ = FolderDeviceAccess({});
    std::ostringstream err_;
    std::unique_ptr<Engine> run_;
    std::unique_ptr<RunReporter> reporter_;
};

TEST_F(RunReporterTest, DoneAndFailedJobsAndTheSummary) {
    Prepare("Command0=conv \"<%InputFile%>\"\n", {"/m/a.mp4", "/m/b c.mp4", "/m/d.mp4"});
    run_->StartRun();
    launcher_.Finish();
    launcher_.Finish(ProcessExit{ProcessExit::Kind::Exited, 2});
    launcher_.Finish(ProcessExit{ProcessExit::Kind::Signalled, 9});
    ASSERT_TRUE(reporter_->Ended());
    EXPECT_EQ(reporter_->Finish(), kBatchExitCommandFailed);
    EXPECT_EQ(err_.str(),
              "[1/3] a.mp4: done (00:00:00)\n"
              "[2/3] b c.mp4: failed (exit code 2)\n"
              "    command (exit code 2): conv \"/m/b c.mp4\"\n"
              "[3/3] d.mp4: failed (signal 9)\n"
              "    command (signal 9): conv \"/m/d.mp4\"\n"
              "1 done, 2 failed\n");
}

TEST_F(RunReporterTest, EveryCommandSucceedingExits0) {
    Prepare("Command0=conv one\nCommand3=conv two\n", {"/m/a.mp4"});
    run_->StartRun();
    launcher_.Finish();
    launcher_.Finish();
    EXPECT_EQ(reporter_->Finish(), kBatchExitConverted);
    EXPECT_EQ(err_.str(), "[1/1] a.mp4: done (00:00:00)\n1 done\n");
}

TEST_F(RunReporterTest, CtrlCStopsTheRunningCommandAndLeavesTheOtherJobsOut) {
    Prepare("Command0=conv one\nCommand1=conv two\n", {"/m/a.mp4", "/m/b.mp4", "/m/c.mp4"});
    run_->StartRun();
    reporter_->Interrupt(*run_);
    EXPECT_EQ(launcher_.Last().terminateCalls, 1);
    EXPECT_FALSE(reporter_->Ended());  // until the stopped command's end arrives
    launcher_.Finish(ProcessExit{ProcessExit::Kind::Signalled, 15});
    ASSERT_TRUE(reporter_->Ended());
    EXPECT_EQ(launcher_.processes.size(), 1u);
    EXPECT_EQ(reporter_->Finish(), kBatchExitCommandFailed);
    EXPECT_EQ(err_.str(),
              "palomix-batch: stopping the conversion (Ctrl-C again ends the program at once)\n"
              "[1/3] a.mp4: stopped\n"
              "0 done, 1 stopped, 2 not run\n");
}

TEST_F(RunReporterTest, CtrlCJustAfterACommandEndedStopsItsJobAtTheNextCommand) {
    Prepare("Command0=conv one\nCommand1=conv two\n", {"/m/a.mp4", "/m/b.mp4"});
    run_->StartRun();
    launcher_.Exit();  // ended, but its end has not arrived: the stop finds nothing to stop
    reporter_->Interrupt(*run_);
    launcher_.Deliver();
    ASSERT_TRUE(reporter_->Ended());
    EXPECT_EQ(launcher_.processes.size(), 1u);
    EXPECT_EQ(reporter_->Finish(), kBatchExitCommandFailed);
    EXPECT_EQ(err_.str(),
              "palomix-batch: stopping the conversion (Ctrl-C again ends the program at once)\n"
              "[1/2] a.mp4: stopped\n"
              "0 done, 1 stopped, 1 not run\n");
}

TEST_F(RunReporterTest, CtrlCJustAfterAJobsLastCommandLetsItFinishAndRunsNoMore) {
    Prepare("Command0=conv one\n", {"/m/a.mp4", "/m/b.mp4"});
    run_->StartRun();
    launcher_.Exit();
    reporter_->Interrupt(*run_);
    launcher_.Deliver();
    ASSERT_TRUE(reporter_->Ended());
    EXPECT_EQ(launcher_.processes.size(), 1u);
    EXPECT_EQ(reporter_->Finish(), kBatchExitCommandFailed);
    EXPECT_EQ(err_.str(),
              "palomix-batch: stopping the conversion (Ctrl-C again ends the program at once)\n"
              "[1/2] a.mp4: done (00:00:00)\n"
              "1 done, 1 not run\n");
}

TEST_F(RunReporterTest, AProgramThatCannotStartEndsTheRunWithExit3) {
    launcher_.missingPrograms = {"/x/conv"};
    Prepare("Command0=ok\nCommand1=\"\"/x/conv\" \"<%InputFile%>\"\"\n", {"/m/a.mp4", "/m/b.mp4"});
    run_->StartRun();
    launcher_.Finish();
    ASSERT_TRUE(reporter_->Ended());
    EXPECT_EQ(reporter_->Finish(), kBatchExitNotStarted);
    EXPECT_EQ(err_.str(),
              "[1/2] a.mp4: could not start: the program \"/x/conv\" was not found\n"
              "    command: \"/x/conv\" \"/m/a.mp4\"\n"
              "0 done, 2 not run\n");
}

// A converter that prints a time or a speed beyond any media, for an input whose length is
// known: the progress line says "-" for what it cannot tell, never a number that is none.
TEST(RunReporterProgressTest, AbsurdNumbersFromAConverter) {
    TempFolder temp;
    FakeLauncher launcher;
    FakeDevices devices;
    launcher.logFolder = temp.MakeFolder("logs");
    launcher.logText = [](const std::string& line) {
        return line.starts_with("probe") ? std::string("format_name=mov\nduration=10.000000\n")
                                         : std::string();
    };
    const std::string settings = temp.Path("s.ini");
    std::ofstream(settings) << "[Item0]\nTitle=t\nCommand0=conv \"<%InputFile%>\"\n";
    EngineSetup setup;
    setup.programFolder = "/app";
    setup.style = PathStyle::Posix;
    setup.probeProgram = "probe";
    setup.devices = std::make_unique<DevicesRef>(devices);
    setup.makeLauncher = [&launcher](PostToHost) {
        return std::make_unique<LauncherRef>(launcher);
    };
    Engine engine(std::move(setup), [](std::function<void()>) {});
    engine.UseCommand(ChosenCommand{settings, 0});
    const std::vector<std::string> paths{"/v/a.mp4"};
    engine.AddFiles(paths);
    std::ostringstream err;
    std::ostringstream lines;
    RunReporter reporter(engine, err, RunReporter::ProgressDisplay{&lines, false});
    engine.SetObserver(&reporter);
    engine.StartRun();
    launcher.Finish(launcher.RunningLines().front());  // the length: 10 seconds
    ASSERT_EQ(launcher.RunningLines(), std::vector<std::string>{R"(conv "/v/a.mp4")"});
    std::ofstream(launcher.processes.back().logPath, std::ios::app)
        << "frame=1 size=1kB time=1e308:-1e308:00.00 bitrate=1.0kbits/s speed=1e308x\r";
    for (int tick = 0; tick < 4; ++tick) {
        engine.Tick();
        reporter.ShowProgress();
    }
    EXPECT_NE(lines.str().find("progress 1 1 - -\n"), std::string::npos) << lines.str();
    EXPECT_EQ(lines.str().find("nan"), std::string::npos) << lines.str();
    launcher.Finish();
}

}  // namespace
}  // namespace palomix::testing
