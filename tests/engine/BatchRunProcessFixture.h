// The batch run with the system launcher: a settings file of the test's own, the host's queue
// of process ends, and jobs with POSIX paths (the run never opens them).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/BatchRun.h"
#include "engine/DeviceOutputFakes.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix::testing {

class BatchRunProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(Helper("sleep"))) {
            GTEST_SKIP() << "the test helper programs are not built";
        }
        BatchRunSettings settings;
        settings.appFolder = temp.Path("app");
        settings.style = PathStyle::Posix;
        settings.chosenCommand = [this] { return ChosenCommand{settingsFile, 0}; };
        settings.outputFolder = [this] { return temp.Path("out"); };
        run = std::make_unique<BatchRun>(jobs, *launcher, devices, std::move(settings));
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
    std::unique_ptr<ProcessLauncher> launcher = SystemProcessLauncher(host.Poster());
    JobQueue jobs{PathStyle::Posix};
    FakeDevices devices;
    std::unique_ptr<BatchRun> run;
};

}  // namespace palomix::testing
