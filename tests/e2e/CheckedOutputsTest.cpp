// The checks around a conversion with the real ffmpeg and ffprobe, through palomix-batch: a
// command that needs an encoder Debian's ffmpeg lacks is refused before anything runs, a
// conversion that cuts its output short fails, and outputs meant short (-t, a single picture)
// pass; without ffprobe beside ffmpeg the run says it did not check.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = PALOMIX_PROGRAM_DIR;

class CheckedOutputsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IsExecutable(kFfmpeg) || !IsExecutable(kProgramFolder + "/cores/ffprobe")) {
            GTEST_SKIP() << "no ffmpeg and ffprobe in cores/";
        }
        fs::create_directories(folder_);
        ASSERT_EQ(RunProcess({kFfmpeg, "-v", "error", "-f", "lavfi", "-i",
                              "testsrc=duration=10:size=64x48:rate=10", "-f", "lavfi", "-i",
                              "sine=duration=10", "-c:v", "mpeg4", "-c:a", "aac", clip_})
                      .exitCode,
                  0);
        const std::string ffmpeg = R"(Command0=""<%AppPath%>\cores\ffmpeg" -hide_banner -nostdin )"
                                   R"(-y -loglevel error -i "<%InputFile%>" )";
        std::ofstream(settings_) << "[Item0]\nTitle=faac\n"
                                 << ffmpeg << "-acodec aac \"<%OutputFile%>.m4a\"\"\n"
                                 << "[Item1]\nTitle=cut\n"
                                 << ffmpeg
                                 << "-vn -c:a aac -af atrim=0:1 \"<%OutputFile%>.m4a\"\"\n"
                                 << "[Item2]\nTitle=t5\n"
                                 << ffmpeg << "-vn -c:a aac -t 5 \"<%OutputFile%>.m4a\"\"\n"
                                 << "[Item3]\nTitle=picture\n"
                                 << ffmpeg << "-an -update 1 -f image2 \"<%OutputFile%>.jpg\"\"\n";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    ProcessOutput Convert(int command, const std::string& program = kProgramFolder) const {
        return RunProcess({program + "/palomix-batch", "--settings", settings_, "--command",
                           std::to_string(command), "--output", out_, clip_});
    }

    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        if (fs::exists(out_)) {
            for (const auto& entry : fs::directory_iterator(out_)) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    static inline const std::string kFfmpeg = kProgramFolder + "/cores/ffmpeg";
    // One folder per test program: ctest runs each test in a program of its own, side by side.
    const fs::path folder_ =
        fs::temp_directory_path() / ("palomix-checked-" + std::to_string(::getpid()));
    const std::string clip_ = (folder_ / "clip.mp4").string();
    const std::string settings_ = (folder_ / "checked.ini").string();
    const std::string out_ = (folder_ / "out").string();
};

TEST_F(CheckedOutputsTest, ACommandNeedingLibfaacIsRefusedBeforeAnythingRuns) {
    const ProcessOutput run = Convert(0);  // "-acodec aac" is read as libfaac
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("palomix-batch: the command needs the encoder libfaac, which this "
                           "ffmpeg does not have"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(out_));  // not even the output folder was made
}

TEST_F(CheckedOutputsTest, ACutOutputFailsAndOutputsMeantShortPass) {
    const ProcessOutput cut = Convert(1);
    EXPECT_EQ(cut.exitCode, 1) << cut.err;
    EXPECT_NE(cut.err.find("failed (the output lasts 1.0 s, the input 10.0 s: "), std::string::npos)
        << cut.err;
    EXPECT_TRUE(OutFiles().empty());

    const ProcessOutput limited = Convert(2);
    EXPECT_EQ(limited.exitCode, 0) << limited.err;
    const ProcessOutput picture = Convert(3);
    EXPECT_EQ(picture.exitCode, 0) << picture.err;
    std::vector<std::string> files = OutFiles();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"clip.jpg", "clip.m4a"}));
    EXPECT_EQ(limited.err.find("note"), std::string::npos) << limited.err;
}

TEST_F(CheckedOutputsTest, WithoutFfprobeTheRunSaysItsOutputsWereNotChecked) {
    const fs::path program = folder_ / "program";
    fs::create_directories(program / "cores");
    fs::create_directories(program / "convert_settings");
    fs::copy_file(kProgramFolder + "/palomix-batch", program / "palomix-batch");
    fs::create_symlink(fs::canonical(kFfmpeg), program / "cores" / "ffmpeg");
    const ProcessOutput run = Convert(1, program.string());  // cut, but nothing can tell
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("palomix-batch: note: the outputs were not checked: cores/ffprobe is "
                           "missing\n1 done\n"),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace palomix::e2e
