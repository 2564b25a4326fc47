// The run through the core's door with the system launcher: a settings file of the test's
// own, the host's queue of process ends, and jobs with POSIX paths (the run never opens them).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineTestSupport.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix::testing {

class BatchRunProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(HelperFile("sleep"))) {
            GTEST_SKIP() << "the test helper programs are not built";
        }
        MakeRun(temp.Path("app"));
    }

    // The run anew, with the program folder given.
    void MakeRun(const std::string& programFolder) {
        EngineSetup setup;
        setup.programFolder = programFolder;
        setup.style = PathStyle::Posix;
        setup.devices = std::make_unique<testing::DevicesRef>(devices);
        run = std::make_unique<Engine>(std::move(setup), host.Poster());
        run->UseCommand(ChosenCommand{settingsFile, 0});
        run->SetOutputFolder(temp.Path("out"));
        run->SetObserver(&observer);
    }

    void WriteCommands(const std::vector<std::string>& lines) {
        std::ofstream file(settingsFile, std::ios::binary | std::ios::trunc);
        file << "[Item0]\nTitle=t\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            file << "Command" << i << "=" << lines[i] << "\n";
        }
    }

    bool RunToTheEnd() {
        return host.RunUntil([this] { return !run->RunActive(); });
    }

    TempFolder temp;
    std::string settingsFile = temp.Path("settings.ini");
    HostQueue host;  // outlives the launcher, which posts to it
    FakeDevices devices;
    testing::RecordingObserver observer;
    std::unique_ptr<Engine> run;  // with the system launcher

    void AddJobs(const std::vector<std::string>& paths) { run->AddFiles(paths); }
    std::string Status() const { return testing::StatusText(run->Status(0)); }
};

}  // namespace palomix::testing
