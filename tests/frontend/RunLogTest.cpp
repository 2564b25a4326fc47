// The run log of the front ends: what it holds of a run, the copy a front end asks for, and the
// newest runs kept in its folder. The engine runs over the fake launcher.
#include "frontend/RunLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/EngineTestSupport.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string TextOf(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class RunLogTest : public EngineTest {
protected:
    RunLogTest() {
        WriteSettings({{{0, "conv -i \"<%InputFile%>\" -y \"<%OutputFile%>.mp4\""}}});
        // 60 lines of output with the converter's statistics among them.
        launcher.logText = [](const std::string&) {
            std::string text;
            for (int line = 1; line <= 60; ++line) {
                text += "line " + std::to_string(line) + "\n";
                text += "frame=  100 size=1kB time=00:00:01.00 bitrate=1.0kbits/s speed=1x\r";
            }
            return text;
        };
    }

    // One run of one job per exit given.
    void RunJobs(const std::vector<ProcessExit>& exits) {
        for (std::size_t job = 0; job < exits.size(); ++job) {
            AddJobs({"/in/" + std::to_string(job) + ".avi"});
        }
        engine->StartRun();
        for (const ProcessExit& exit : exits) {
            launcher.Finish(exit);
        }
        ASSERT_FALSE(engine->RunActive());
    }

    std::string folder_ = temp.Path("state/logs");
};

// A run leaves a text to attach: the program, the settings file and command, each job's command
// line, how it ended and the ends of its output, the job's outcome, and how the run ended; the
// copy a front end asks for holds the same.
TEST_F(RunLogTest, NothingToAttachToABugReport) {
    const std::string copy = temp.Path("my.log");
    RunLog log(*engine, RunLogSetup{"palomix-test", folder_, copy});
    engine->AddObserver(&log);
    RunJobs({ProcessExit{}, ProcessExit{ProcessExit::Kind::Exited, 3}});

    const std::string text = ReadAll(log.LastPath());
    EXPECT_EQ(ReadAll(copy), text);
    EXPECT_TRUE(log.Failures().empty());
    for (const std::string& expected : std::vector<std::string>{
             "Palomix run log\n",
             "\nProgram: palomix-test ",
             "\nProgram folder: /app\n",
             "\nSettings file: " + settingsFile + "\n",
             "\nCommand: item 0 \"c0\"\n",
             "\nOutput folder: /out\n",
             "\n[1] /in/0.avi started",
             "\n[1] /in/0.avi: done after 00:00:00\n",
             "\n    line 0: conv -i \"/in/0.avi\" -y \"/out/",
             ".mp4\"\n      ended: exit code 0\n      | line 1\n",
             "\n    output: /out/0.mp4\n",
             "      | line 20\n      | [...]\n      | line 41\n",
             "      | line 60\n",
             "\n[2] /in/1.avi: failed after 00:00:00\n",
             "\n      ended: exit code 3\n",
             "1 done, 1 failed, 0 stopped, 0 not started, 0 skipped\n",
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
    }
    EXPECT_EQ(text.find("time="), std::string::npos);  // no statistics
    EXPECT_EQ(text.find("| line 21\n"), std::string::npos);
}

TEST_F(RunLogTest, The21stRunRemovesTheOldest) {
    RunLog log(*engine, RunLogSetup{"palomix-test", folder_, {}});
    engine->AddObserver(&log);
    std::vector<std::string> logs;
    for (std::size_t run = 0; run <= kRunLogsKept; ++run) {
        RunJobs({ProcessExit{}});
        logs.push_back(log.LastPath());
    }
    std::vector<std::string> kept;
    for (const fs::directory_entry& entry : fs::directory_iterator(PathOf(folder_))) {
        kept.push_back(TextOf(entry.path()));
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, std::vector<std::string>(logs.begin() + 1, logs.end()));
    EXPECT_EQ(NewestRunLog(folder_), logs.back());
    EXPECT_EQ(NewestRunLog(temp.Path("none")), std::nullopt);
}

}  // namespace
}  // namespace palomix::testing
