// A job's output files with real converters (the copy helper) and real folders: names that a
// run keeps apart, files from before the run, a job's own input, and outputs that stand under
// their final names only once the job is done.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/JobOutputs.h"
#include "platform/FileSystem.h"
#include "support/FatImage.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;
using testing::HelperFile;
using testing::HostQueue;

std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

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

TEST_F(OutputFilesTest, BesideItsSourceAJobGetsThePlainNameAndOnlyRealOutputsAreJudged) {
    // The input "holiday.mp4" is no output of "holiday_360p.mp4" although its name starts alike.
    const std::string input = Input("out/holiday.mp4", "the source");
    std::ofstream(out + "/s10.palomix-part.mp3") << "a file of the user's own";
    Command({R"("<%OutputFile%>_360p.mp4")"});
    engine->SetExistingOutputs(ExistingOutputs::Skip);
    Convert({input});
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Done);
    EXPECT_EQ(Read(out + "/holiday_360p.mp4"), "the source");
    Convert({input});
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Skipped);
    EXPECT_EQ(observer.finished.back().problemSubject, JoinPath(out, "holiday_360p.mp4"));
    EXPECT_EQ(Read(out + "/s10.palomix-part.mp3"), "a file of the user's own");
}

TEST_F(OutputFilesTest, NamesThatDifferOnlyInCaseAreNumberedAlsoOnAFatCard) {
    Command({R"("<%OutputFile%>.mp3")"});
    const std::vector<std::string> inputs{Input("A/Clip.wav", "ten seconds"),
                                          Input("B/clip.wav", "twenty seconds")};
    testing::FatImage card(temp.Path("fat"));
    std::vector<std::string> folders{out};
    if (!card.Folder().empty()) {
        folders.push_back(card.Folder());
    } else {
        std::cerr << "Only the rule is tested, on this file system: " << card.Why() << '\n';
    }
    for (const std::string& folder : folders) {
        for (const std::size_t jobs : {1u, 2u}) {
            SCOPED_TRACE(folder + ", jobs " + std::to_string(jobs));
            const std::string into = JoinPath(folder, std::to_string(jobs));
            engine->SetOutputFolder(into);
            engine->SetSimultaneousJobs(jobs);
            Convert(inputs);
            EXPECT_EQ(Read(JoinPath(into, "Clip.mp3")), "ten seconds");
            EXPECT_EQ(Read(JoinPath(into, "clip (2).mp3")), "twenty seconds");
            EXPECT_TRUE(Leftovers(into).empty());
        }
    }
}

TEST_F(OutputFilesTest, AJobKeepsAllItsOutputsOrNone) {
    // The old "_b" output is a folder, which the new file cannot replace: the new "_a" output
    // must not replace the old one either.
    std::ofstream(out + "/clip_a.txt") << "old a";
    fs::create_directory(out + "/clip_b.txt");
    Command({R"("<%OutputFile%>_a.txt")", R"("<%OutputFile%>_b.txt")"});
    Convert({Input("in/clip.mov", "new")});
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Failed);
    EXPECT_EQ(observer.finished[0].problem, JobProblem::OutputNotKept);
    EXPECT_EQ(observer.finished[0].problemSubject, JoinPath(out, "clip_b.txt"));
    EXPECT_EQ(Read(out + "/clip_a.txt"), "old a");
    EXPECT_TRUE(fs::is_directory(out + "/clip_b.txt"));
    EXPECT_TRUE(Leftovers(out).empty());
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

    // A player's files go onto the player: no folder of the tree is made in the output folder.
    Command({R"("<%PSPVideoOutputFile%>.MP4")"});
    Input("music/Album C/CD2/01.flac", "c");
    engine->AddPaths(std::vector<std::string>{temp.Path("music/Album C")});
    engine->StartRun();
    ASSERT_TRUE(host.RunUntil([this] { return !engine->RunActive(); }));
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Done);
    EXPECT_FALSE(fs::exists(out + "/Album C"));
}

// What a job writes under a temporary name is a file it made itself, new: a file or link that
// stands at the name is neither written through nor removed, and a file put in the place of
// the job's own while it ran is not the job's to rename or remove.
TEST(JobTemporaryFilesTest, OnlyTheFilesAJobMadeAreWrittenRenamedOrRemoved) {
    testing::TempFolder temp;
    const std::string folder = temp.MakeFolder("out");
    const std::string victim = temp.Path("yours.mp3");
    std::ofstream(victim) << "yours";
    const auto lineFor = [&](const JobOutputs& job) {
        PlannedLine line;
        line.outputs = {LineOutput{JoinPath(folder, job.TemporaryName() + ".mp3"), ".mp3", ""}};
        return line;
    };
    OutputBook book(NativePathStyle());
    JobResult result;

    JobOutputs planted("s10", NativePathStyle(), {});
    EXPECT_TRUE(planted.TemporaryName().starts_with(".palomix-"));
    EXPECT_NE(planted.TemporaryName(), JobOutputs("s10", NativePathStyle(), {}).TemporaryName());
    const std::string at = lineFor(planted).outputs[0].path;
    std::error_code linked;
    fs::create_symlink(victim, at, linked);
    if (linked) {
        std::ofstream(at) << "someone's";
    }
    EXPECT_EQ(planted.LineStarts(lineFor(planted)), JoinPath(folder, "s10.mp3"));
    planted.Discard(result, book);
    EXPECT_TRUE(fs::exists(fs::symlink_status(at)));
    EXPECT_EQ(Read(victim), "yours");

    JobOutputs replaced("s11", NativePathStyle(), {});
    const std::string own = lineFor(replaced).outputs[0].path;
    ASSERT_EQ(replaced.LineStarts(lineFor(replaced)), std::nullopt);
    std::ofstream(own) << "converted";
    std::ofstream(temp.Path("theirs")) << "theirs";
    fs::rename(temp.Path("theirs"), own);
    EXPECT_FALSE(replaced.Keep(result, book, false));
    EXPECT_EQ(result.problem, JobProblem::OutputNotKept);
    replaced.Discard(result, book);
    EXPECT_EQ(Read(own), "theirs");
    EXPECT_FALSE(fs::exists(JoinPath(folder, "s11.mp3")));
}

}  // namespace
}  // namespace palomix
