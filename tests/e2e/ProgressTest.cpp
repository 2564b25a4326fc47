// Progress with the real ffmpeg and ffprobe through palomix-batch --progress: a ten-second clip,
// read at twice its speed so that a few seconds pass, reports percentages that pass through the
// middle and never go back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = PALOMIX_PROGRAM_DIR;

TEST(ProgressEndToEndTest, ATenSecondClipReportsPercentagesThroughTheMiddle) {
    const std::string ffmpeg = kProgramFolder + "/cores/ffmpeg";
    if (!IsExecutable(ffmpeg) || !IsExecutable(kProgramFolder + "/cores/ffprobe")) {
        GTEST_SKIP() << "no ffmpeg and ffprobe in cores/";
    }
    const fs::path folder =
        fs::temp_directory_path() /
        ("palomix-progress-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(folder);
    const std::string clip = (folder / "tone.wav").string();
    ASSERT_EQ(
        RunProcess({ffmpeg, "-v", "error", "-f", "lavfi", "-i", "sine=duration=10", clip}).exitCode,
        0);
    const std::string settings = (folder / "progress.ini").string();
    std::ofstream(settings) << "[Item0]\nTitle=t\nCommand0=\"\"<%AppPath%>\\cores\\ffmpeg\" "
                               "-hide_banner -nostdin -y -loglevel error -stats -readrate 2 -i "
                               "\"<%InputFile%>\" -c:a aac \"<%OutputFile%>.m4a\"\"\n";
    const ProcessOutput run =
        RunProcess({kProgramFolder + "/palomix-batch", "--progress", "--settings", settings,
                    "--output", (folder / "out").string(), clip});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(folder / "out" / "tone.m4a"));

    std::vector<double> percents;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string word, index, total, percent;
        fields >> word >> index >> total >> percent;
        ASSERT_EQ(word, "progress") << line;
        EXPECT_EQ(index + "/" + total, "1/1") << line;
        if (percent != "-") {
            percents.push_back(std::stod(percent));
        }
    }
    ASSERT_FALSE(percents.empty()) << run.out;
    bool middle = false;
    for (std::size_t i = 0; i < percents.size(); ++i) {
        EXPECT_LE(percents[i], 100.0);
        if (i > 0) {
            EXPECT_GE(percents[i], percents[i - 1]);
        }
        middle = middle || (percents[i] > 20 && percents[i] < 80);
    }
    EXPECT_TRUE(middle) << run.out;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace palomix::e2e
