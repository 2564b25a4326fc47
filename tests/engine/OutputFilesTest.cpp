// A job's output files with real converters (the copy helper) and real folders: names that a
// run keeps apart, files from before the run, a job's own input, and outputs that stand under
// their final names only once the job is done.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;
using testing::HelperFile;
using testing::HostQueue;

class OutputFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(HelperFile("copy"))) {
            GTEST_SKIP() << "the test helper programs are not built";
        }
        EngineSetup setup;
        setup.programFolder = temp.Path("app");
        setup.devices = FolderDeviceAccess({temp.MakeFolder("psp")});
        engine = std::make_unique<Engine>(std::move(setup), host.Poster());
        engine->UseCommand(ChosenCommand{settings, 0});
        engine->SetOutputFolder(out);
        engine->SetObserver(&observer);
        fs::create_directories(temp.Path("psp/PSP/GAME"));
    }

    // Item0 with a line per output that copies the input there, `how` ending it. Each line is
    // wrapped in one more pair of quotes, which the reading rules take off again.
    void Command(const std::vector<std::string>& outputs, const std::string& how = "") {
        std::ofstream file(settings, std::ios::trunc);
        file << "[Item0]\nTitle=t\n";
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            file << "Command" << i << "=\"\"" << HelperFile("copy") << "\" \"<%InputFile%>\" "
                 << outputs[i] << (how.empty() ? "" : " " + how) << "\"\n";
        }
    }

    std::string Input(const std::string& relative, const std::string& bytes) {
        const std::string path = temp.Path(relative);
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    void Convert(const std::vector<std::string>& paths) {
        engine->AddFiles(paths);
        engine->StartRun();
        ASSERT_TRUE(host.RunUntil([this] { return !engine->RunActive(); }));
    }

    // Every file in a folder whose name holds the temporary mark.
    std::vector<std::string> Leftovers(const std::string& folder) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (testing::HasTemporaryMark(entry.path().filename().string())) {
                found.push_back(entry.path().string());
            }
        }
        return found;
    }

    testing::TempFolder temp;
    std::string settings = temp.Path("settings.ini");
    std::string out = temp.MakeFolder("out");
    HostQueue host;
    testing::RecordingObserver observer;
    std::unique_ptr<Engine> engine;
};

TEST_F(OutputFilesTest, SameNamedInputsOfOneRunGetNumberedNamesAndAllOutputsStay) {
    Command({R"("<%OutputFile%>_720p.mp4")"});
    Convert({Input("camera1/clip.mov", "one"), Input("camera2/clip.mov", "two"),
             Input("camera1/clip.avi", "three")});
    EXPECT_EQ(Read(out + "/clip_720p.mp4"), "one");
    EXPECT_EQ(Read(out + "/clip (2)_720p.mp4"), "two");
    EXPECT_EQ(Read(out + "/clip (3)_720p.mp4"), "three");
    ASSERT_EQ(observer.finished.size(), 3u);
    EXPECT_EQ(observer.finished[1].outputName, "clip (2)");
    EXPECT_EQ(observer.finished[1].outputs,
              (std::vector<std::string>{JoinPath(out, "clip (2)_720p.mp4")}));
    EXPECT_TRUE(Leftovers(out).empty());
}

TEST_F(OutputFilesTest, AFailedOrStoppedJobLeavesTheEarlierOutputWholeAndNoTemporaryFile) {
    std::ofstream(out + "/clip_720p.mp4") << "the good old output";
    const std::string input = Input("in/clip.mov", "a new conversion");
    Command({R"("<%OutputFile%>_720p.mp4")"}, "fail");
    Convert({input});
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Failed);
    EXPECT_EQ(Read(out + "/clip_720p.mp4"), "the good old output");
    EXPECT_TRUE(Leftovers(out).empty());

    Command({R"("<%OutputFile%>_720p.mp4")"}, "hang");
    engine->AddFiles(std::vector<std::string>{input});
    engine->StartRun();
    for (int i = 0; i < 1000 && Leftovers(out).empty(); ++i) {  // until it is writing
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(Leftovers(out).empty());
    engine->StopHead();
    ASSERT_TRUE(host.RunUntil([this] { return !engine->RunActive(); }));
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Stopped);
    EXPECT_EQ(Read(out + "/clip_720p.mp4"), "the good old output");
    EXPECT_TRUE(Leftovers(out).empty());
}

TEST_F(OutputFilesTest, FilesFromBeforeTheRunAreOverwrittenKeptOrSkippedAsChosen) {
    Command({R"("<%OutputFile%>.mp4")"});
    const std::string input = Input("in/clip.mov", "new");
    std::ofstream(out + "/clip.mp4") << "old";

    engine->SetExistingOutputs(ExistingOutputs::Skip);
    Convert({input});
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Skipped);
    EXPECT_EQ(observer.finished.back().problem, JobProblem::OutputExists);
    EXPECT_EQ(Read(out + "/clip.mp4"), "old");

    engine->SetExistingOutputs(ExistingOutputs::KeepBoth);
    Convert({input});
    EXPECT_EQ(Read(out + "/clip.mp4"), "old");
    EXPECT_EQ(Read(out + "/clip (2).mp4"), "new");

    engine->SetExistingOutputs(ExistingOutputs::Overwrite);
    Convert({input});
    EXPECT_EQ(Read(out + "/clip.mp4"), "new");
}

TEST_F(OutputFilesTest, AJobNeverWritesOntoItsOwnInputEvenThroughALink) {
    const std::string input = Input("out/clip.mp4", "the source");
    std::error_code linked;
    fs::create_directory_symlink(out, temp.Path("link"), linked);
    if (linked) {
        GTEST_SKIP() << "this system makes no link to a folder here: " << linked.message();
    }
    engine->SetOutputFolder(temp.Path("link"));
    Command({R"("<%OutputFile%>.mp4")"});
    Convert({input});
    EXPECT_EQ(Read(input), "the source");
    EXPECT_EQ(Read(out + "/clip (2).mp4"), "the source");
}

TEST_F(OutputFilesTest, OutputsOnAPlayerAreWrittenTheSameWay) {
    Command({R"("<%PSPVideoOutputFile%>.MP4")", R"("<%PSPVideoOutputFile%>.THM")"});
    Convert({Input("in/clip.mov", "video")});
    const std::string video = temp.Path("psp/VIDEO");
    EXPECT_EQ(Read(video + "/clip.MP4"), "video");
    EXPECT_EQ(Read(video + "/clip.THM"), "video");
    EXPECT_TRUE(Leftovers(video).empty());
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Done);
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST_F(OutputFilesTest, FolderTreesAndDatesAreKeptWhenAsked) {
    Command({R"("<%OutputFile%>.mp3")"});
    const std::string first = Input("music/Album A/01.flac", "a");
    Input("music/Album B/01.flac", "b");
    const auto old = fs::last_write_time(first) - std::chrono::hours(24 * 400);
    fs::last_write_time(first, old);
    engine->SetKeepTree(true);
    engine->SetKeepDates(true);
    const std::vector<std::string> dropped{temp.Path("music")};
    engine->AddPaths(dropped);
    engine->StartRun();
    ASSERT_TRUE(host.RunUntil([this] { return !engine->RunActive(); }));
    EXPECT_EQ(Read(out + "/Album A/01.mp3"), "a");
    EXPECT_EQ(Read(out + "/Album B/01.mp3"), "b");
    EXPECT_EQ(fs::last_write_time(out + "/Album A/01.mp3"), old);
}

}  // namespace
}  // namespace palomix
