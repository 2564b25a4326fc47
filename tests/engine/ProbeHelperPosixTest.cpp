// The media probe helper through the core's door, with the system's launcher and a fake helper
// (tests/helpers/fakeprobe.cpp: "hang" in a path holds it for ever): a question that takes too
// long fails that job's check alone, the helper is started again for the next, and no helper
// outlives the engine. (A stop or Ctrl-C during a check that hangs: tests/cli.)
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/BatchRunProcessFixture.h"

namespace palomix {
namespace {

using testing::Helper;

class ProbeHelperPosixTest : public testing::BatchRunProcessTest {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(testing::HelperFile("fakeprobe"))) {
            GTEST_SKIP() << "the test helper programs are not built";
        }
        ::setenv("PALOMIX_TEST_PID_FILE", pidFile.c_str(), 1);
        EngineSetup setup;
        setup.programFolder = temp.Path("app");
        setup.style = PathStyle::Posix;
        setup.probeHelper = testing::HelperFile("fakeprobe");
        setup.probeTimeLimit = std::chrono::milliseconds(300);
        run = std::make_unique<Engine>(std::move(setup), host.Poster());
        run->UseCommand(ChosenCommand{settingsFile, 0});
        run->SetOutputFolder(temp.Path("out"));
        run->SetObserver(&observer);
        // Quoted whole, as the reading rules take a value's outer quotes.
        WriteCommands({"\"\"" + Helper("copy") + R"(" "<%InputFile%>" "<%OutputFile%>.wav"")"});
    }
    void TearDown() override { ::unsetenv("PALOMIX_TEST_PID_FILE"); }

    std::string Input(const std::string& name) {
        std::ofstream(temp.Path(name)) << "sound";
        return temp.Path(name);
    }
    // The helpers started so far, as they wrote their ids.
    std::vector<pid_t> Helpers() const {
        std::vector<pid_t> ids;
        std::ifstream file(pidFile);
        for (long id = 0; file >> id;) {
            ids.push_back(static_cast<pid_t>(id));
        }
        return ids;
    }

    std::string pidFile = temp.Path("helpers.txt");
};

TEST_F(ProbeHelperPosixTest, AQuestionThatTakesTooLongFailsThatJobAloneAndNoHelperOutlivesIt) {
    AddJobs({Input("a.wav"), Input("hang.wav"), Input("b.wav")});
    run->StartRun();
    ASSERT_TRUE(RunToTheEnd());
    ASSERT_EQ(observer.finished.size(), 3u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Done);
    EXPECT_EQ(observer.finished[1].outcome, JobOutcome::Failed);
    EXPECT_EQ(observer.finished[1].problem, JobProblem::OutputUnreadable);
    EXPECT_EQ(observer.finished[1].outputFault, OutputFault::ProbeTimedOut);
    EXPECT_EQ(observer.finished[2].outcome, JobOutcome::Done);
    EXPECT_GT(Helpers().size(), 2u);  // started again after each one that hung

    const std::vector<pid_t> helpers = Helpers();
    run.reset();
    for (const pid_t helper : helpers) {
        EXPECT_NE(::kill(helper, 0), 0) << "helper " << helper << " outlived the engine";
    }
}

}  // namespace
}  // namespace palomix
