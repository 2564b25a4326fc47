// The system launcher with real child processes: the helper programs in the test helper
// folder stand in for converters.
#include "platform/ProcessLauncher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/LogTail.h"
#include "tests/platform/TestHostQueue.h"

namespace palomix {

void PrintTo(const ProcessExit& exit, std::ostream* out) {
    *out << DescribeExit(exit);
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::Helper;
using testing::HostQueue;
using testing::kPatience;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> SplitAtNul(const std::string& text) {
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

// key=value lines of the probe helper.
std::map<std::string, std::string> ReadProbe(const std::string& path) {
    std::map<std::string, std::string> values;
    std::istringstream lines(ReadFile(path));
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            values[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return values;
}

template <typename Condition>
bool Eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

class ProcessLauncherPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "palomix-launcher-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        launcher_ = SystemProcessLauncher(host_.Poster());
    }

    void TearDown() override {
        launcher_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    LaunchResult Launch(const std::string& line) {
        return launcher_->Launch(line, [this](ProcessHandle handle, ProcessExit exit) {
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

    std::optional<ProcessExit> Run(const std::string& line) {
        const LaunchResult launched = Launch(line);
        EXPECT_TRUE(launched.launched) << line << ": " << launched.reason;
        return launched.launched ? WaitForEnd(launched) : std::nullopt;
    }

    // The arguments the args helper received from `line`.
    std::vector<std::string> ArgumentsOf(const std::string& line) {
        const std::string out = folder_ + "/args.out";
        ::setenv("PALOMIX_ARGS_OUT", out.c_str(), 1);
        const std::optional<ProcessExit> exit = Run(line);
        EXPECT_EQ(exit, (ProcessExit{ProcessExit::Kind::Exited, 0})) << line;
        return SplitAtNul(ReadFile(out));
    }

    std::string folder_;
    HostQueue host_;
    std::map<std::uint64_t, ProcessExit> ends_;
    std::unique_ptr<ProcessLauncher> launcher_;
};

TEST_F(ProcessLauncherPosixTest, ReportsExitCodesAndSignals) {
    EXPECT_EQ(Run(Helper("exitcode") + " 0"), (ProcessExit{ProcessExit::Kind::Exited, 0}));
    EXPECT_EQ(Run(Helper("exitcode") + " 3"), (ProcessExit{ProcessExit::Kind::Exited, 3}));
    EXPECT_EQ(Run(Helper("exitcode") + " 255"), (ProcessExit{ProcessExit::Kind::Exited, 255}));
    EXPECT_EQ(Run(Helper("crash") + " segv"), (ProcessExit{ProcessExit::Kind::Signalled, SIGSEGV}));
    EXPECT_EQ(Run(Helper("crash")), (ProcessExit{ProcessExit::Kind::Signalled, SIGABRT}));
}

TEST_F(ProcessLauncherPosixTest, EndIsPostedToTheHostNotRunOnTheLaunchersThread) {
    bool ended = false;
    const std::thread::id hostThread = std::this_thread::get_id();
    const LaunchResult launched =
        launcher_->Launch(Helper("exitcode") + " 0", [&](ProcessHandle, ProcessExit) {
            EXPECT_EQ(std::this_thread::get_id(), hostThread);
            ended = true;
        });
    ASSERT_TRUE(launched.launched);
    ASSERT_TRUE(host_.WaitForPosted());
    EXPECT_FALSE(ended);
    ASSERT_TRUE(host_.RunUntil([&] { return ended; }));
}

TEST_F(ProcessLauncherPosixTest, OddFileNameArrivesAsOneArgumentAndNoShellRuns) {
    const std::string marker = folder_ + "/marker";
    const std::string name = folder_ + "/a b \"c\" $(touch " + marker + ") `touch " + marker +
                             "` ; d\\e & | > 日本語 'q' *.mp4";
    const std::string line = Helper("args") + " -i " + QuoteArgument(name) + " \"\" plain";
    const std::vector<std::string> expected = {Helper("args"), "-i", name, "", "plain"};
    EXPECT_EQ(ArgumentsOf(line), expected);
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(ProcessLauncherPosixTest, QuotedProgramPathWithBlanks) {
    const std::string tools = folder_ + "/my tools";
    fs::create_directory(tools);
    fs::copy_file(Helper("args"), tools + "/args");
    const std::vector<std::string> expected = {tools + "/args", "x"};
    EXPECT_EQ(ArgumentsOf("\"" + tools + "/args\" x"), expected);
}

TEST_F(ProcessLauncherPosixTest, UnquotedProgramPathWithBlanksIsFoundPrefixByPrefix) {
    const std::string tools = folder_ + "/my tools";
    fs::create_directory(tools);
    fs::copy_file(Helper("args"), tools + "/args");
    // "<folder>/my" exists but cannot be run, so the longer reading is taken.
    std::ofstream(folder_ + "/my") << "not a program";

    const std::vector<std::string> expected = {tools + "/args", "one", "two three"};
    EXPECT_EQ(ArgumentsOf(tools + "/args one \"two three\""), expected);
}

TEST_F(ProcessLauncherPosixTest, BareNameIsLookedUpOnPath) {
    const std::string tools = folder_ + "/my tools";
    fs::create_directory(tools);
    fs::copy_file(Helper("args"), tools + "/palomix-args-on-path");
    const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    ::setenv("PATH", (folder_ + "/nothing-here::" + tools + ":" + oldPath).c_str(), 1);
    const std::vector<std::string> arguments = ArgumentsOf("palomix-args-on-path 1");
    ::setenv("PATH", oldPath.c_str(), 1);
    const std::vector<std::string> expected = {tools + "/palomix-args-on-path", "1"};
    EXPECT_EQ(arguments, expected);
}

TEST_F(ProcessLauncherPosixTest, LineWithoutARunnableProgramIsNotLaunched) {
    std::ofstream(folder_ + "/plain.txt") << "text";
    fs::create_directory(folder_ + "/dir");
    struct Case {
        std::string line;
        std::string named;  // what the reason must name
    };
    const std::vector<Case> cases = {
        {"", "empty"},
        {" \t ", "empty"},
        {"/no/such/converter -i x", "/no/such/converter"},
        {"palomix-no-such-program-on-path arg", "palomix-no-such-program-on-path"},
        {"\"" + folder_ + "/plain.txt\" x", folder_ + "/plain.txt"},
        {folder_ + "/dir", folder_ + "/dir"},
        {"\"\" x", "\"\""},
    };
    for (const Case& c : cases) {
        const LaunchResult result = Launch(c.line);
        EXPECT_FALSE(result.launched) << c.line;
        EXPECT_NE(result.reason.find(c.named), std::string::npos) << result.reason;
    }
    EXPECT_EQ(host_.Pending(), 0u);
}

TEST_F(ProcessLauncherPosixTest, ChildStartsWithNullInputInItsOwnGroupFolderAndEnvironment) {
    // Our own standard input is a pipe meanwhile, so inheriting it would show.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const int savedInput = ::dup(0);
    ::dup2(pipeEnds[0], 0);
    ::setenv("PALOMIX_PROBE_VALUE", "value with blanks", 1);

    const std::string out = folder_ + "/probe.out";
    const std::optional<ProcessExit> exit =
        Run(Helper("probe") + " " + QuoteArgument(out) + " PALOMIX_PROBE_VALUE");

    ::dup2(savedInput, 0);
    ::close(savedInput);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    ASSERT_EQ(exit, (ProcessExit{ProcessExit::Kind::Exited, 0}));

    std::map<std::string, std::string> probe = ReadProbe(out);
    EXPECT_EQ(probe["stdin"], "null");
    EXPECT_EQ(probe["pgid"], probe["pid"]);
    EXPECT_NE(probe["pgid"], std::to_string(::getpgrp()));
    EXPECT_EQ(probe["cwd"], fs::current_path().string());
    EXPECT_EQ(probe["env"], "value with blanks");
}

TEST_F(ProcessLauncherPosixTest, ChattyProgramNeverBlocksAndItsOutputLandsInTheLog) {
    const LaunchResult launched = Launch(Helper("spew") + " 8");
    ASSERT_TRUE(launched.launched);
    EXPECT_EQ(WaitForEnd(launched), (ProcessExit{ProcessExit::Kind::Exited, 0}));
    EXPECT_GE(fs::file_size(launched.logPath), 2u * 8u * 1024u * 1024u);
    EXPECT_EQ(LastLines(launched.logPath, 1), std::vector<std::string>{"spew done"});
}

TEST_F(ProcessLauncherPosixTest, EachCommandHasItsOwnLogAndDiscardRemovesIt) {
    const LaunchResult first = Launch(Helper("exitcode") + " 0");
    const LaunchResult second = Launch(Helper("exitcode") + " 1");
    ASSERT_TRUE(first.launched && second.launched);
    EXPECT_NE(first.handle, second.handle);
    EXPECT_NE(first.logPath, second.logPath);
    WaitForEnd(first);
    WaitForEnd(second);
    EXPECT_TRUE(fs::exists(first.logPath));
    launcher_->DiscardLog(first.handle);
    EXPECT_FALSE(fs::exists(first.logPath));
    EXPECT_TRUE(fs::exists(second.logPath));
}

TEST_F(ProcessLauncherPosixTest, TerminateEndsARunningProgramOnce) {
    const LaunchResult launched = Launch(Helper("sleep"));
    ASSERT_TRUE(launched.launched);
    EXPECT_TRUE(launcher_->Terminate(launched.handle));
    EXPECT_EQ(WaitForEnd(launched), (ProcessExit{ProcessExit::Kind::Signalled, SIGTERM}));
    EXPECT_FALSE(launcher_->Terminate(launched.handle));
    EXPECT_FALSE(launcher_->Terminate(ProcessHandle{launched.handle.id + 100}));
}

TEST_F(ProcessLauncherPosixTest, TerminateKillsAProgramThatIgnoresIt) {
    const std::string ready = folder_ + "/ready";
    const LaunchResult launched = Launch(Helper("ignoreterm") + " " + QuoteArgument(ready));
    ASSERT_TRUE(launched.launched);
    ASSERT_TRUE(Eventually([&] { return fs::exists(ready); }));
    EXPECT_TRUE(launcher_->Terminate(launched.handle));
    EXPECT_EQ(WaitForEnd(launched), (ProcessExit{ProcessExit::Kind::Signalled, SIGKILL}));
}

TEST_F(ProcessLauncherPosixTest, TerminateFailsOnceTheProgramHasEndedEvenBeforeTheHostKnows) {
    const LaunchResult launched = Launch(Helper("exitcode") + " 0");
    ASSERT_TRUE(launched.launched);
    ASSERT_TRUE(host_.WaitForPosted());
    EXPECT_FALSE(launcher_->Terminate(launched.handle));
    EXPECT_EQ(WaitForEnd(launched), (ProcessExit{ProcessExit::Kind::Exited, 0}));
}

TEST_F(ProcessLauncherPosixTest, TerminateReachesWhatTheProgramStarted) {
    // A program that starts another one and waits for it, like a converter with a helper.
    const std::string pidFile = folder_ + "/grandchild.pid";
    const LaunchResult launched =
        Launch("/bin/sh -c " + QuoteArgument(QuoteArgument(Helper("sleep")) + " & echo $! > " +
                                             QuoteArgument(pidFile) + "; wait"));
    ASSERT_TRUE(launched.launched);
    ASSERT_TRUE(Eventually([&] { return !ReadFile(pidFile).empty(); }));
    const std::string grandchild = "/proc/" + std::to_string(std::stol(ReadFile(pidFile)));
    EXPECT_TRUE(launcher_->Terminate(launched.handle));
    WaitForEnd(launched);
    // Gone, or a zombie waiting for the system to reap it.
    EXPECT_TRUE(Eventually([&] {
        const std::string stat = ReadFile(grandchild + "/stat");
        return stat.empty() || stat.find(") Z ") != std::string::npos;
    }));
}

TEST_F(ProcessLauncherPosixTest, LogFolderIsPrivateAndRemovedWithTheLauncher) {
    const LaunchResult launched = Launch(Helper("exitcode") + " 0");
    ASSERT_TRUE(launched.launched);
    WaitForEnd(launched);
    const fs::path logFolder = fs::path(launched.logPath).parent_path();
    ASSERT_TRUE(fs::is_directory(logFolder));
    EXPECT_EQ(fs::status(logFolder).permissions(), fs::perms::owner_all);

    launcher_.reset();
    EXPECT_FALSE(fs::exists(logFolder));
}

TEST_F(ProcessLauncherPosixTest, DestroyingTheLauncherEndsRunningProgramsWithoutReportingThem) {
    const std::string pidFile = folder_ + "/child.pid";
    const LaunchResult launched =
        Launch("/bin/sh -c " + QuoteArgument("echo $$ > " + QuoteArgument(pidFile) + "; exec " +
                                             QuoteArgument(Helper("sleep"))));
    ASSERT_TRUE(launched.launched);
    ASSERT_TRUE(Eventually([&] { return !ReadFile(pidFile).empty(); }));
    const std::string child = "/proc/" + std::to_string(std::stol(ReadFile(pidFile)));
    ASSERT_TRUE(fs::exists(child));

    launcher_.reset();
    EXPECT_FALSE(fs::exists(child));  // ended and reaped
    host_.RunUntil([&] { return host_.Pending() == 0; });
    EXPECT_EQ(ends_.count(launched.handle.id), 0u);
}

}  // namespace
}  // namespace palomix
