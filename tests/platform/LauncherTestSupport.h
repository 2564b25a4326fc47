// What the tests of the system launcher share, on every system: a fixture with a private
// folder, the host's queue and a launcher whose ends it records, and small helpers to read
// what the helper programs wrote and to wait, boundedly, for something to happen.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/ProcessLauncher.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix {

inline void PrintTo(const ProcessExit& exit, std::ostream* out) {
    *out << DescribeExit(exit);
}

namespace testing {

// Sets an environment variable of this process, which launched programs inherit. Defined by
// the system's own launcher test file.
void SetTestEnvironment(const std::string& name, const std::string& value);

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> SplitAtNul(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : text) {
        if (c == '\0') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    return parts;
}

// Polls `condition` until it holds or `limit` has passed; true when it held.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = (std::filesystem::temp_directory_path() /
                   ("palomix-launcher-test-" + std::to_string(random())))
                      .string();
        ASSERT_TRUE(std::filesystem::create_directory(folder_));
        launcher_ = SystemProcessLauncher(host_.Poster());
    }

    void TearDown() override {
        launcher_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    LaunchResult Launch(const std::string& line, const LaunchOptions& options = {}) {
        return launcher_->Launch(line, options, [this](ProcessHandle handle, ProcessExit exit) {
            EXPECT_EQ(ends_.count(handle.id), 0u) << "an end is reported twice";
            ends_[handle.id] = exit;
        });
    }

    // Runs the host's queue until the process has ended.
    std::optional<ProcessExit> WaitForEnd(const LaunchResult& launched) {
        if (!host_.RunUntil([&] { return ends_.count(launched.handle.id) > 0; })) {
            return std::nullopt;
        }
        return ends_[launched.handle.id];
    }

    std::optional<ProcessExit> Run(const std::string& line, const LaunchOptions& options = {}) {
        const LaunchResult launched = Launch(line, options);
        EXPECT_TRUE(launched.launched) << line << ": " << launched.reason;
        return launched.launched ? WaitForEnd(launched) : std::nullopt;
    }

    // The arguments the args helper received from `line`, argument 0 included.
    std::vector<std::string> ArgumentsOf(const std::string& line) {
        const std::string out = folder_ + "/args.out";
        SetTestEnvironment("PALOMIX_ARGS_OUT", out);
        const std::optional<ProcessExit> exit = Run(line);
        EXPECT_EQ(exit, (ProcessExit{ProcessExit::Kind::Exited, 0})) << line;
        return SplitAtNul(ReadFile(out));
    }

    std::string folder_;
    HostQueue host_;
    std::map<std::uint64_t, ProcessExit> ends_;
    std::unique_ptr<ProcessLauncher> launcher_;
};

}  // namespace testing
}  // namespace palomix
