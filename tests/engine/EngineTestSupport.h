// The core's door set up for tests: an Engine over a fake launcher and fake drives that the
// test owns, a settings file of the test's own, and an observer that writes down everything
// the front end is told.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DeviceOutputFakes.h"
#include "FakeLauncher.h"
#include "engine/Engine.h"
#include "support/TemporaryMarks.h"

namespace palomix::testing {

// Hands every call to a launcher the test keeps.
class LauncherRef final : public ProcessLauncher {
public:
    explicit LauncherRef(ProcessLauncher& inner) : inner_(inner) {}
    LaunchResult Launch(const std::string& line, ProcessEndedHandler onEnded) override {
        return inner_.Launch(line, std::move(onEnded));
    }
    LaunchResult Launch(const std::string& line, const LaunchOptions& options,
                        ProcessEndedHandler onEnded) override {
        return inner_.Launch(line, options, std::move(onEnded));
    }
    bool Terminate(ProcessHandle handle) override { return inner_.Terminate(handle); }
    void DiscardLog(ProcessHandle handle) override { inner_.DiscardLog(handle); }

private:
    ProcessLauncher& inner_;
};

// Hands every call to drives the test keeps.
class DevicesRef final : public DeviceAccess {
public:
    explicit DevicesRef(DeviceAccess& inner) : inner_(inner) {}
    std::vector<std::string> ListDrives() override { return inner_.ListDrives(); }
    bool IsFolder(const std::string& path) override { return inner_.IsFolder(path); }
    bool CreateFolders(const std::string& path) override { return inner_.CreateFolders(path); }
    std::error_code MakeFolders(const std::string& path) override {
        return inner_.MakeFolders(path);
    }
    bool IsFat(const std::string& drive) override { return inner_.IsFat(drive); }
    std::error_code MakeNewFile(const std::string& path) override {
        return inner_.MakeNewFile(path);
    }

private:
    DeviceAccess& inner_;
};

// The status column's text as the window shows it in English.
inline std::string StatusText(const JobStatus& status) {
    switch (status.state) {
        case JobState::Waiting:
            return "Wait...";
        case JobState::Converting:
            return "Converting...(" + ElapsedTimeText(status.seconds) + ")";
        case JobState::NotStarted:
            return "Could not start: " + status.program;
    }
    return {};
}

// Everything the front end is told, as short texts in order, and every result.
class RecordingObserver : public EngineObserver {
public:
    std::vector<std::string> events;
    std::vector<JobResult> finished;
    std::vector<RunEndReason> ends;
    std::function<void(const JobResult&)> onJobEnded;

    void StopEnabledChanged(bool enabled) override {
        events.push_back(enabled ? "stop on" : "stop off");
    }
    void CommandStarted(const CommandStart& start) override {
        events.push_back("started " + start.commandLine);
    }
    void StopFailed() override { events.push_back("stop failed"); }
    void ConverterChecked() override { ++converterChecks; }
    int converterChecks = 0;
    void JobEnded(const JobResult& result) override {
        static constexpr const char* kOutcomes[] = {"done", "failed", "stopped", "not started",
                                                    "skipped"};
        events.push_back(std::string(kOutcomes[static_cast<int>(result.outcome)]) + " " +
                         result.path);
        finished.push_back(result);
        if (onJobEnded) {
            onJobEnded(result);
        }
    }
    void RunEnded(const RunEnd& end) override {
        static constexpr const char* kReasons[] = {
            "queue empty", "launch failed",          "nothing selected",
            "interrupted", "output folder unusable", "finished early"};
        events.push_back(std::string("ended: ") + kReasons[static_cast<int>(end.reason)]);
        ends.push_back(end.reason);
        lastEnd = end;
    }
    RunEnd lastEnd;
};

// The commands of a result that did not succeed.
inline std::vector<CommandRecord> Problems(const JobResult& result) {
    std::vector<CommandRecord> problems;
    for (const CommandRecord& command : result.commands) {
        if (command.state != CommandState::Succeeded) {
            problems.push_back(command);
        }
    }
    return problems;
}

// An Engine over the fakes, with the program folder "/app", the output folder "/out", POSIX
// paths, and item 0 of the settings file chosen.
inline std::unique_ptr<Engine> MakeTestEngine(ProcessLauncher& launcher, DeviceAccess& devices,
                                              const std::string& settingsFile) {
    EngineSetup setup;
    setup.programFolder = "/app";
    setup.style = PathStyle::Posix;
    setup.devices = std::make_unique<DevicesRef>(devices);
    setup.makeLauncher = [&launcher](PostToHost) {
        return std::make_unique<LauncherRef>(launcher);
    };
    auto engine = std::make_unique<Engine>(std::move(setup), [](std::function<void()>) {});
    engine->UseCommand(ChosenCommand{settingsFile, 0});
    engine->SetOutputFolder("/out");
    return engine;
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() {
        launcher.logFolder = temp.MakeFolder("logs");
        MakeEngine();
    }

    void MakeEngine() {
        engine = MakeTestEngine(launcher, devices, settingsFile);
        engine->SetObserver(&observer);
    }

    // The command the run reads from now on; nullopt: none.
    void Choose(std::optional<ChosenCommand> command) {
        engine->UseCommand(command);
        if (!command) {
            // No fixed command and nothing selected in the (unloaded) catalogue: none at all.
            ASSERT_FALSE(engine->CurrentCommand());
        }
    }

    // Writes the settings file anew, one section per item, each given as its command lines
    // by number.
    void WriteSettings(const std::vector<std::vector<std::pair<int, std::string>>>& items) {
        std::ofstream file(settingsFile, std::ios::binary | std::ios::trunc);
        file << "[Info]\r\nTitle=t\r\n";
        for (std::size_t item = 0; item < items.size(); ++item) {
            file << "[Item" << item << "]\r\nTitle=c" << item << "\r\n";
            for (const auto& [number, line] : items[item]) {
                file << "Command" << number << "=" << line << "\r\n";
            }
        }
    }

    void AddJobs(std::initializer_list<std::string> paths) {
        const std::vector<std::string> list(paths);
        engine->AddFiles(list);
    }

    std::string Status() const {
        return engine->JobCount() == 0 ? std::string() : StatusText(engine->Status(0));
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        engine->VisitJobs([&paths](const JobView& job) { paths.emplace_back(job.path); });
        return paths;
    }

    TempFolder temp;
    std::string settingsFile = temp.Path("settings.ini");
    FakeLauncher launcher;
    FakeDevices devices;
    RecordingObserver observer;
    std::unique_ptr<Engine> engine;
};

}  // namespace palomix::testing
