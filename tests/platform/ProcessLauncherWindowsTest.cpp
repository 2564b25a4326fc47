// The system launcher on Windows with real child processes: the helper programs in the test
// helper folder stand in for converters; a copy of the sleep helper under a name of the
// test's own is the process that must not outlive a stop, found by its name.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/win32/WideText.h"
#include "tests/platform/LauncherTestSupport.h"

namespace palomix {

namespace testing {

void SetTestEnvironment(const std::string& name, const std::string& value) {
    ::SetEnvironmentVariableW(win32::ToWide(name).c_str(), win32::ToWide(value).c_str());
}

}  // namespace testing

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::Eventually;
using testing::Helper;
using testing::HelperFile;
using testing::ReadFile;

// The ids of the running processes whose program file is named `name`.
std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
    std::vector<DWORD> ids;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return ids;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more != 0;
         more = ::Process32NextW(snapshot, &entry)) {
        if (::lstrcmpiW(entry.szExeFile, name.c_str()) == 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    ::CloseHandle(snapshot);
    return ids;
}

class ProcessLauncherWindowsTest : public testing::LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        std::random_device random;
        sleeperName_ = "palomix-sleeper-" + std::to_string(random()) + ".exe";
        sleeper_ = (fs::path(folder_) / sleeperName_).string();
        fs::copy_file(HelperFile("sleep"), sleeper_);
    }

    // How many copies of the sleeper run.
    std::size_t Sleepers() const { return ProcessesNamed(win32::ToWide(sleeperName_)).size(); }

    std::string sleeperName_;
    std::string sleeper_;  // a copy of the sleep helper
};

TEST_F(ProcessLauncherWindowsTest, StopEndsWhatTheProgramStartedAndReadsAsFailed) {
    // A program that runs the sleeper through the system's shell and waits for it.
    const LaunchResult launched = Launch(Helper("spawn") + " \"" + sleeper_ + " 600\"");
    ASSERT_TRUE(launched.launched) << launched.reason;
    ASSERT_TRUE(Eventually([&] { return Sleepers() == 1; }));
    EXPECT_TRUE(launcher_->Terminate(launched.handle));
    const std::optional<ProcessExit> exit = WaitForEnd(launched);
    ASSERT_TRUE(exit.has_value());
    EXPECT_FALSE(exit->Succeeded());
    EXPECT_TRUE(Eventually([&] { return Sleepers() == 0; }, 5s));
    EXPECT_FALSE(launcher_->Terminate(launched.handle));
}

TEST_F(ProcessLauncherWindowsTest, ExitCodesArriveAsTheyAre) {
    EXPECT_EQ(Run(Helper("exitcode") + " 0"), (ProcessExit{ProcessExit::Kind::Exited, 0}));
    EXPECT_EQ(Run(Helper("exitcode") + " 3"), (ProcessExit{ProcessExit::Kind::Exited, 3}));
    EXPECT_EQ(Run(Helper("exitcode") + " 255"), (ProcessExit{ProcessExit::Kind::Exited, 255}));
}

TEST_F(ProcessLauncherWindowsTest, KilledHostLeavesNoConverter) {
    std::wstring line = win32::ToWide("\"" + HelperFile("launchhost") + "\" \"" + folder_ +
                                      "\\ready\" \"" + sleeper_ + " 600\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION host{};
    ASSERT_NE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &host),
              0);
    ::CloseHandle(host.hThread);
    EXPECT_TRUE(Eventually([&] { return Sleepers() == 1; }));

    ::TerminateProcess(host.hProcess, 9);
    ::WaitForSingleObject(host.hProcess, INFINITE);
    ::CloseHandle(host.hProcess);
    EXPECT_TRUE(Eventually([&] { return Sleepers() == 0; }, 5s));
}

TEST_F(ProcessLauncherWindowsTest, LowPriorityCommandRunsBelowNormal) {
    LaunchOptions low;
    low.lowPriority = true;
    const LaunchResult launched = Launch(sleeper_ + " 600", low);
    ASSERT_TRUE(launched.launched) << launched.reason;
    ASSERT_TRUE(Eventually([&] { return Sleepers() == 1; }));
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         ProcessesNamed(win32::ToWide(sleeperName_)).front());
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(::GetPriorityClass(process), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    ::CloseHandle(process);
    launcher_->Terminate(launched.handle);
    WaitForEnd(launched);
}

TEST_F(ProcessLauncherWindowsTest, OnlyAbandonedLogFoldersAreRemoved) {
    const fs::path temp = fs::path(folder_) / "tmp";
    fs::create_directory(temp);
    const fs::path abandoned = temp / "palomix-logs-00000000000000b1";
    const fs::path held = temp / "palomix-logs-00000000000000b2";
    for (const fs::path& folder : {abandoned, held}) {
        fs::create_directory(folder);
        std::ofstream(folder / "owner.lock");
    }
    const HANDLE lock = ::CreateFileW((held / "owner.lock").c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    wchar_t oldTemp[MAX_PATH + 1] = {};
    const DWORD oldLength = ::GetEnvironmentVariableW(L"TMP", oldTemp, MAX_PATH + 1);
    ::SetEnvironmentVariableW(L"TMP", temp.c_str());

    launcher_ = SystemProcessLauncher(host_.Poster());
    ::SetEnvironmentVariableW(L"TMP", oldLength > 0 ? oldTemp : nullptr);
    ::CloseHandle(lock);
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(held));
}

}  // namespace
}  // namespace palomix
