// S1Click with the real opener: the system's handler is replaced by a script named xdg-open
// found first on PATH, which records what it was given.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "settings/SettingsCatalogue.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits up to five seconds for the condition.
template <typename Condition>
bool WaitFor(Condition condition) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class FakeHandlerPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("palomix-open-" + std::to_string(random()));
        fs::create_directories(root_ / "bin");
        fs::create_directories(root_ / "program" / "convert_settings");
        // Records its argument, its process id and where its standard streams go, then
        // lingers, so that a caller that waited for it would be seen waiting.
        const fs::path script = root_ / "bin" / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "printf '%s' \"$1\" > '" << (root_ / "argument").string() << "'\n"
                              << "echo $$ > '" << (root_ / "pid.tmp").string() << "'\n"
                              << "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 "
                                 "/proc/$$/fd/2)\n"
                              << "printf '%s' \"$streams\" > '" << (root_ / "streams").string()
                              << "'\n"
                              << "mv '" << (root_ / "pid.tmp").string() << "' '"
                              << (root_ / "pid").string() << "'\n"
                              << "sleep 1\n";
        fs::permissions(script, fs::perms::owner_all);
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        setenv("PATH", ((root_ / "bin").string() + ":" + savedPath_).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", savedPath_.c_str(), 1);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path root_;
    std::string savedPath_;
};

TEST_F(FakeHandlerPosixTest, SelectedFileReachesTheHandlerWhichIsDetachedAndReaped) {
    const fs::path file = root_ / "program" / "convert_settings" / "a b \"q\" $x; y.ini";
    std::ofstream(file) << "[Info]\nTitle=t\n";
    SettingsCatalogue catalogue((root_ / "program").string());
    catalogue.LoadSettingsCatalogue(Language::Japanese);

    const auto start = Clock::now();
    catalogue.S1Click(OpenWithDefaultProgram);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(900)) << "the caller waited";

    ASSERT_TRUE(WaitFor([&] { return fs::exists(root_ / "pid"); }));
    EXPECT_EQ(ReadAll(root_ / "argument"), file.string());
    EXPECT_EQ(ReadAll(root_ / "streams"), "/dev/null\n/dev/null\n/dev/null");

    // Once the handler has ended, nothing of it is left behind (no zombie).
    const std::string pid = ReadAll(root_ / "pid").substr(0, ReadAll(root_ / "pid").find('\n'));
    EXPECT_TRUE(WaitFor([&] { return !fs::exists("/proc/" + pid); }))
        << "the handler's process " << pid << " was not reaped";
}

}  // namespace
}  // namespace palomix
