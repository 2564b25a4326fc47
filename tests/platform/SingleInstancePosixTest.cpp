#include "platform/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/posix/SingleInstancePosix.h"
#include "tests/platform/ScopedEnvironment.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

using testing::ScopedEnvironment;

std::string UniqueName(const std::string& base) {
    std::random_device random;
    return "PalomixTest" + base + std::to_string(random());
}

// A lock name of this test only, so that neither a running instance nor another test run is
// disturbed; its lock file is removed at the end.
class TestLockName {
public:
    explicit TestLockName(const std::string& base) : name_(UniqueName(base)) {}
    ~TestLockName() {
        if (const std::optional<std::string> place = SingleInstanceLockPlace(name_)) {
            std::error_code ignored;
            fs::remove(*place, ignored);
        }
    }
    TestLockName(const TestLockName&) = delete;
    TestLockName& operator=(const TestLockName&) = delete;

    operator const std::string&() const { return name_; }

private:
    std::string name_;
};

TEST(SingleInstanceLockPosixTest, TheSecondLockOfTheSameNameFindsTheFirstUntilItIsReleased) {
    const TestLockName name("Lock");
    const TestLockName otherName("Other");
    {
        const SingleInstanceLock first(name);
        EXPECT_EQ(first.Result(), SingleInstanceLock::Outcome::Held);
        const SingleInstanceLock second(name);
        EXPECT_TRUE(second.AnotherInstanceRunning());
        const SingleInstanceLock other(otherName);
        EXPECT_EQ(other.Result(), SingleInstanceLock::Outcome::Held);
    }
    const SingleInstanceLock again(name);
    EXPECT_EQ(again.Result(), SingleInstanceLock::Outcome::Held);
}

// One instance started from a desktop session, one from a shell with another environment:
// they find each other all the same.
TEST(SingleInstanceLockPosixTest, ThePlaceOfTheLockDoesNotDependOnTheEnvironment) {
    const fs::path runtime = fs::temp_directory_path() / UniqueName("Runtime");
    fs::create_directory(runtime);
    ::chmod(runtime.c_str(), 0700);
    const TestLockName name("Lock");
    std::optional<SingleInstanceLock> first;
    {
        const ScopedEnvironment xdg("XDG_RUNTIME_DIR", runtime.string());
        const ScopedEnvironment home("HOME", runtime.string());
        first.emplace(name);
    }
    EXPECT_EQ(first->Result(), SingleInstanceLock::Outcome::Held);
    {
        const ScopedEnvironment xdg("XDG_RUNTIME_DIR", std::nullopt);
        const ScopedEnvironment home("HOME", std::nullopt);
        const SingleInstanceLock second(name);
        EXPECT_TRUE(second.AnotherInstanceRunning());
    }
    first.reset();
    fs::remove_all(runtime);
}

// A link planted at the lock's name is not followed, and the lock folder is private.
TEST(SingleInstanceLockPosixTest, TheLockFolderIsPrivateAndALinkAtTheNameIsNotFollowed) {
    const TestLockName name("Link");
    const std::optional<std::string> place = SingleInstanceLockPlace(name);
    ASSERT_TRUE(place);
    struct stat folder {};
    ASSERT_EQ(::lstat(fs::path(*place).parent_path().c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_mode & 077, 0u);
    EXPECT_EQ(folder.st_uid, ::getuid());

    const fs::path target = fs::temp_directory_path() / UniqueName("Target");
    std::ofstream(target) << "keep";
    fs::create_symlink(target, *place);
    {
        const SingleInstanceLock linked(name);
        EXPECT_EQ(linked.Result(), SingleInstanceLock::Outcome::Unavailable);
    }
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
    fs::remove(target);
}

// A window started before the user's runtime folder (/run/user/<uid>, XDG_RUNTIME_DIR) appeared,
// and a later start: both find the lock, and the hand-over beside it, at the same place. The
// system's folders are played by a folder of the test's own.
TEST(SingleInstanceLockPosixTest, ASecondWindow) {
    const fs::path root = fs::temp_directory_path() / UniqueName("Root");
    fs::create_directories(root / "tmp");
    const std::string rootText = root.string() + "/";
    const fs::path runtime = root / "run" / "user" / std::to_string(::getuid());
    const std::string name = UniqueName("Lock");
    std::optional<std::string> first;
    {
        const ScopedEnvironment xdg("XDG_RUNTIME_DIR", runtime.string());  // not there yet
        first = SingleInstanceLockPlaceUnder(rootText, name);
    }
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    std::optional<std::string> later;
    {
        const ScopedEnvironment xdg("XDG_RUNTIME_DIR", runtime.string());
        later = SingleInstanceLockPlaceUnder(rootText, name);
    }
    ASSERT_TRUE(first);
    EXPECT_EQ(later, first);
    // The place is the user's own: a folder no one else may enter, made where it was missing.
    struct stat folder {};
    ASSERT_EQ(::lstat(fs::path(*first).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 077, 0u);
    EXPECT_EQ(folder.st_uid, ::getuid());
    fs::remove_all(root);
}

}  // namespace
}  // namespace palomix
