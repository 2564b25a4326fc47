// The system launcher on POSIX with real child processes: the helper programs in the test
// helper folder stand in for converters, /bin/sh for a converter that starts programs of its
// own.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "tests/platform/LauncherTestSupport.h"

extern char** environ;

namespace palomix {

namespace testing {

void SetTestEnvironment(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace testing

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::Eventually;
using testing::Helper;
using testing::ReadFile;

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

// A process seen once, told apart from a later one with the same id by its start time.
class WatchedProcess {
public:
    explicit WatchedProcess(const std::string& pidFile)
        : path_("/proc/" + std::to_string(std::stol(ReadFile(pidFile))) + "/stat"),
          startTime_(StartTime()) {}

    // Neither running nor a zombie waiting to be reaped.
    bool Gone() const { return StartTime() != startTime_ || startTime_.empty(); }
    // Ended, maybe not reaped yet.
    bool Ended() const { return Gone() || ReadFile(path_).find(") Z ") != std::string::npos; }

private:
    // Field 22 of /proc/PID/stat; empty once the process has gone.
    std::string StartTime() const {
        const std::string stat = ReadFile(path_);
        const std::size_t nameEnd = stat.rfind(')');
        if (nameEnd == std::string::npos) {
            return {};
        }
        std::istringstream fields(stat.substr(nameEnd + 1));
        std::string field;
        for (int i = 3; i <= 22 && fields >> field; ++i) {
        }
        return field;
    }

    std::string path_;
    std::string startTime_;
};

// A shell running `script`: the converter that starts programs of its own.
std::string Shell(const std::string& script) {
    return "/bin/sh -c " + QuoteArgument(script);
}

std::string Quoted(const std::string& path) {
    return QuoteArgument(path);
}

class ProcessLauncherPosixTest : public testing::LauncherTest {
protected:
    // Points the launchers made from now on at a temporary folder of the test's own.
    std::string UseOwnTempFolder() {
        const std::string temp = folder_ + "/tmp";
        fs::create_directory(temp);
        const char* old = std::getenv("TMPDIR");
        oldTemp_ = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TMPDIR", temp.c_str(), 1);
        return temp;
    }

    void TearDown() override {
        if (oldTemp_) {
            ::setenv("TMPDIR", oldTemp_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        LauncherTest::TearDown();
    }

    std::optional<std::string> oldTemp_;
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

// The stop grace of the POSIX launcher, and a margin for a loaded machine.
constexpr auto kStopGrace = 2s;
constexpr auto kMargin = 3s;

TEST_F(ProcessLauncherPosixTest, StopReachesEveryProcessOfTheCommandAfterTheGrace) {
    // A wrapper that ends on the terminate signal, leaving behind helpers that ignore it: one
    // in its process group, one in a session of its own, one there without the command's mark
    // in its environment.
    const std::string ignore = Quoted(Helper("ignoreterm"));
    const std::string f = folder_ + "/";
    const LaunchResult launched = Launch(Shell(
        ignore + " " + Quoted(f + "r1") + " & echo $! > " + Quoted(f + "p1") + "; setsid " +
        ignore + " " + Quoted(f + "r2") + " & echo $! > " + Quoted(f + "p2") + "; setsid env -i " +
        ignore + " " + Quoted(f + "r3") + " & echo $! > " + Quoted(f + "p3") + "; wait"));
    ASSERT_TRUE(launched.launched) << launched.reason;
    ASSERT_TRUE(Eventually(
        [&] { return fs::exists(f + "r1") && fs::exists(f + "r2") && fs::exists(f + "r3"); }));
    const std::vector<WatchedProcess> helpers = {WatchedProcess(f + "p1"), WatchedProcess(f + "p2"),
                                                 WatchedProcess(f + "p3")};

    ASSERT_TRUE(launcher_->Terminate(launched.handle));
    EXPECT_EQ(WaitForEnd(launched), (ProcessExit{ProcessExit::Kind::Signalled, SIGTERM}));
    // Gone, and reaped: they came to this program when the wrapper ended.
    for (const WatchedProcess& helper : helpers) {
        EXPECT_TRUE(Eventually([&] { return helper.Gone(); }, kStopGrace + kMargin));
    }
}

TEST_F(ProcessLauncherPosixTest, KilledHostLeavesNoConverterAndTheNextLauncherCleansUp) {
    const std::string temp = UseOwnTempFolder();
    const std::string f = folder_ + "/";
    // A live launcher's folder stays, whatever happens.
    launcher_ = SystemProcessLauncher(host_.Poster());
    const LaunchResult live = Launch(Helper("exitcode") + " 0");
    ASSERT_TRUE(live.launched);
    WaitForEnd(live);

    // The host runs a wrapper whose helper would outlive it.
    const std::string line =
        Shell(Quoted(Helper("sleep")) + " & echo $! > " + Quoted(f + "helper") + "; echo $$ > " +
              Quoted(f + "wrapper") + "; wait");
    std::vector<std::string> arguments = {Helper("launchhost"), f + "ready", line};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t host = 0;
    ASSERT_EQ(::posix_spawn(&host, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    ASSERT_TRUE(Eventually([&] {
        return !ReadFile(f + "ready").empty() && !ReadFile(f + "wrapper").empty() &&
               !ReadFile(f + "helper").empty();
    }));
    const fs::path hostLogFolder = fs::path(ReadFile(f + "ready")).parent_path();
    const WatchedProcess wrapper(f + "wrapper");
    const WatchedProcess helper(f + "helper");

    ::kill(host, SIGKILL);
    ::waitpid(host, nullptr, 0);
    EXPECT_TRUE(Eventually([&] { return wrapper.Ended(); }, kMargin));
    EXPECT_FALSE(helper.Ended());
    EXPECT_TRUE(fs::exists(hostLogFolder));

    // The next launcher removes the dead host's folder and ends what its command left.
    const std::unique_ptr<ProcessLauncher> next = SystemProcessLauncher(host_.Poster());
    EXPECT_FALSE(fs::exists(hostLogFolder));
    EXPECT_TRUE(Eventually([&] { return helper.Ended(); }, kMargin));
    EXPECT_TRUE(fs::exists(live.logPath));
    EXPECT_EQ(fs::path(live.logPath).parent_path().parent_path(), fs::path(temp));
}

TEST_F(ProcessLauncherPosixTest, OnlyAbandonedLogFoldersOfThisUserAreRemoved) {
    const fs::path temp = UseOwnTempFolder();
    const auto folder = [&](const std::string& id) {
        const fs::path path = temp / ("palomix-logs-" + id);
        fs::create_directory(path);
        std::ofstream(path / "command-1.log") << "log";
        return path;
    };
    const fs::path abandoned = folder("00000000000000a1");
    std::ofstream(abandoned / "owner.lock");
    const fs::path held = folder("00000000000000a2");
    std::ofstream(held / "owner.lock");
    const int lock = ::open((held / "owner.lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    const fs::path beingMade = folder("00000000000000a3");  // no lock file yet
    const fs::path other = folder("not-a-launcher");        // not a launcher's name
    std::ofstream(other / "owner.lock");

    launcher_ = SystemProcessLauncher(host_.Poster());
    ::close(lock);
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(held / "command-1.log"));
    EXPECT_TRUE(fs::exists(beingMade / "command-1.log"));
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(ProcessLauncherPosixTest, LowPriorityCommandRunsNicer) {
    const std::string out = folder_ + "/probe.out";
    const std::string probe = Helper("probe") + " " + Quoted(out);
    ASSERT_EQ(Run(probe), (ProcessExit{ProcessExit::Kind::Exited, 0}));
    const int normal = std::stoi(ReadProbe(out)["nice"]);
    ASSERT_EQ(Run(probe, LaunchOptions{true, {}}), (ProcessExit{ProcessExit::Kind::Exited, 0}));
    EXPECT_EQ(std::stoi(ReadProbe(out)["nice"]), std::min(normal + 10, 19));
}

}  // namespace
}  // namespace palomix
