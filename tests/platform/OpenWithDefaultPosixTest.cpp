// Opening with the system's program tells when it could not: xdg-open missing, or failing.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>

#include "platform/OpenWithDefault.h"
#include "tests/platform/FileSystemTestTree.h"
#include "tests/platform/ScopedEnvironment.h"

namespace palomix::testing {
namespace {

// The failure handed over, from whichever thread.
class FailureCatcher {
public:
    OpenFailureHandler Handler() {
        return [this](const OpenFailure& failure) {
            const std::lock_guard lock(mutex_);
            failure_ = failure;
            arrived_.notify_all();
        };
    }
    std::optional<OpenFailure> Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, timeout, [this] { return failure_.has_value(); });
        return failure_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::optional<OpenFailure> failure_;
};

TEST(OpenWithDefaultPosixTest, AMissingOpenerIsToldAtOnce) {
    const TestTree tree;
    std::filesystem::create_directories(tree.Path("bin"));
    const ScopedEnvironment path("PATH", tree.Path("bin"));
    std::optional<OpenFailure> failure;
    TryOpenWithDefaultProgram("/tmp/x.ini", [&failure](const OpenFailure& f) { failure = f; });
    ASSERT_TRUE(failure.has_value());  // before the call returned
    EXPECT_EQ(failure->kind, OpenFailure::Kind::NotStarted);
    EXPECT_EQ(failure->code, ENOENT);
}

TEST(OpenWithDefaultPosixTest, AnOpenerThatFailsIsToldWithItsExitCodeAndOneThatWorksIsNot) {
    const TestTree tree;
    const std::string bin = tree.Path("bin");
    std::filesystem::create_directories(bin);
    const std::string opener = bin + "/xdg-open";
    std::ofstream(opener) << "#!/bin/sh\n[ \"$1\" = ok ] && exit 0\nexit 3\n";
    ::chmod(opener.c_str(), 0755);
    const ScopedEnvironment path("PATH", bin);

    FailureCatcher failing;
    TryOpenWithDefaultProgram("/tmp/x.ini", failing.Handler());
    const std::optional<OpenFailure> failure = failing.Wait(std::chrono::seconds(10));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->kind, OpenFailure::Kind::Failed);
    EXPECT_EQ(failure->code, 3);

    FailureCatcher working;
    TryOpenWithDefaultProgram("ok", working.Handler());
    EXPECT_FALSE(working.Wait(std::chrono::milliseconds(500)).has_value());
}

}  // namespace
}  // namespace palomix::testing
