// palomix-batch converting for real: the built program in a program folder of the test's own,
// with settings files whose command lines run the small test helper programs.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BatchProgramFixture.h"
#include "JsonReader.h"
#include "support/TemporaryMarks.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;

const std::string kHelpers = PALOMIX_TEST_HELPER_DIR;

// A template that runs a helper, quoted, and enclosed in one more pair of quotes so that
// reading the settings file does not take the quotes of the program path away.
std::string HelperLine(const std::string& helper, const std::string& arguments) {
    return "\"\"" + kHelpers + "/test-helper-" + helper + "\" " + arguments + "\"";
}

// The arguments written by test-helper-args, argument 0 included.
std::vector<std::string> ReadArguments(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(in, argument, '\0');) {
        arguments.push_back(argument);
    }
    return arguments;
}

// The children of a process whose command line starts with `program`, from /proc.
std::vector<pid_t> ChildrenRunning(pid_t parent, const std::string& program) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream fields(text.substr(close + 2));
        char state = 0;
        long ppid = 0;
        fields >> state >> ppid;
        std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
        std::string first;
        std::getline(cmdline, first, '\0');
        if (ppid == parent && first == program) {
            found.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return found;
}

// True when nothing of the process group `group` is left.
bool GroupGone(pid_t group) {
    return killpg(group, 0) != 0 && errno == ESRCH;
}

template <typename Condition>
bool WaitFor(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class BatchConvertPosixTest : public BatchProgramFixture {
protected:
    void SetUp() override {
        BatchProgramFixture::SetUp();
        argsOut_ = root_ / "args.bin";
        ::setenv("PALOMIX_ARGS_OUT", argsOut_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("PALOMIX_ARGS_OUT");
        BatchProgramFixture::TearDown();
    }

    // A settings file "t.ini" with one item of the command lines given.
    void WriteItem(const std::vector<std::string>& commandLines) const {
        std::string text = "[Item0]\nTitle=t\nTitleE=t\n";
        for (std::size_t i = 0; i < commandLines.size(); ++i) {
            text += "Command" + std::to_string(i) + "=" + commandLines[i] + "\n";
        }
        WriteSettings("t.ini", text);
    }

    std::vector<std::string> Convert(std::vector<std::string> paths) const {
        std::vector<std::string> arguments{"--settings", "t.ini", "--output", "out"};
        arguments.insert(arguments.end(), paths.begin(), paths.end());
        return arguments;
    }

    std::string Work(const std::string& relative) const { return (work_ / relative).string(); }

    fs::path argsOut_;
};

TEST_F(BatchConvertPosixTest, OddFileNamesReachTheConverterAsExactlyOneArgument) {
    WriteItem({HelperLine("args", "\"<%InputFile%>\"")});
    const std::vector<std::string> names = {
        "two  blanks .mp4",
        "say \"hi\".mp4",
        "$(touch pwned).mp4",
        "a;touch pwned;b.mp4",
        "back\\slash\\\".mp4",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE5\x8B\x95\xE7\x94\xBB.mp4",
        "all \"of\" $(it); `x` 'y' \\ \xE6\x97\xA5.mp4",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        fs::remove(argsOut_);
        const std::string path = WriteWork(name);
        const BatchResult result = Run(Convert({name}));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        const std::vector<std::string> arguments = ReadArguments(argsOut_);
        ASSERT_EQ(arguments.size(), 2u);
        EXPECT_EQ(arguments[1], path);
    }
    EXPECT_FALSE(fs::exists(work_ / "pwned"));
    EXPECT_FALSE(fs::exists(work_ / "out" / "pwned"));
}

// What --dry-run --format json lists is what the run starts: each command's argument list is
// the one the converter received, argument 0 included, whatever the name, and the paths given
// on standard input reach the converter byte for byte. (The run has its converters write under
// a temporary name, which it puts right once the job is done; the plan names the final file.)
TEST_F(BatchConvertPosixTest, JsonPlanHoldsTheArgumentsTheRunStarts) {
    WriteItem({HelperLine("args", "-i \"<%InputFile%>\" -x \"a b\" \"<%OutputFile%>_o.mp4\"")});
    for (const std::string& name :
         {std::string("say \"hi\" $(x); 'y' \\ \xE6\x97\xA5.mp4"), std::string("new\nline\t.mp4"),
          std::string("not utf-8 \xFF\xE6\x97.mp4")}) {
        SCOPED_TRACE(name);
        const std::string path = WriteWork(name);
        std::vector<std::string> arguments = Convert({"-"});
        arguments.insert(arguments.begin(), "--null");
        std::vector<std::string> dryRun = arguments;
        dryRun.insert(dryRun.begin(), {"--dry-run", "--format", "json"});

        const BatchResult planned = Run(dryRun, name + '\0');
        EXPECT_EQ(planned.exitCode, 0) << planned.err;
        ASSERT_EQ(Lines(planned.out).size(), 1u) << planned.out;
        const JsonValue job = JsonReader::Parse(planned.out);
        EXPECT_EQ(job["input"].text, path);
        EXPECT_EQ(job["output_folder"].text, Work("out"));
        ASSERT_EQ(job["commands"].items.size(), 1u);
        EXPECT_FALSE(fs::exists(argsOut_));

        const BatchResult ran = Run(arguments, name + '\0');
        EXPECT_EQ(ran.exitCode, 0) << ran.err;
        EXPECT_EQ(job["commands"].items[0].Strings(),
                  testing::MaskTemporaryMarks(ReadArguments(argsOut_), ""));
        fs::remove(argsOut_);
    }
}

TEST_F(BatchConvertPosixTest, AllCommandsSucceedingGiveOneDoneLinePerJobAndExit0) {
    WriteItem({HelperLine("exitcode", "0 \"<%InputFile%>\""), "",
               HelperLine("args", "\"<%OutputFile%>.mp4\"")});
    WriteWork("a.mp4");
    WriteWork("dir/b.avi");
    WriteWork("dir/c d.avi");
    std::vector<std::string> arguments = Convert({"a.mp4", "dir"});
    arguments[3] = "out/deeper";  // the output folder is made with its parents

    const BatchResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 4u) << result.err;
    EXPECT_EQ(lines[0], "[1/3] a.mp4: done (00:00:00)");
    EXPECT_EQ(lines[3], "3 done");
    // The folder's files in the order the search reports them.
    for (const std::string& line : {lines[1], lines[2]}) {
        EXPECT_TRUE(
            line == "[2/3] b.avi: done (00:00:00)" || line == "[2/3] c d.avi: done (00:00:00)" ||
            line == "[3/3] b.avi: done (00:00:00)" || line == "[3/3] c d.avi: done (00:00:00)")
            << line;
    }
    EXPECT_TRUE(fs::is_directory(work_ / "out" / "deeper"));
    // The last job's last command had the output folder in its line.
    const std::vector<std::string> last = ReadArguments(argsOut_);
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(fs::path(last[1]).parent_path(), work_ / "out" / "deeper");
}

TEST_F(BatchConvertPosixTest, AFailingCommandIsReportedWithItsOutputAndTheBatchGoesOn) {
    // ls fails, with a message, for a job whose "<file>.ok" is not beside its file.
    WriteWork("a.mp4");
    WriteWork("b.mp4");
    WriteWork("b.mp4.ok");
    WriteItem({"/bin/ls \"<%InputFile%>.ok\"", HelperLine("exitcode", "0")});

    const BatchResult result = Run(Convert({"a.mp4", "b.mp4"}));
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 5u) << result.err;
    EXPECT_EQ(lines[0], "[1/2] a.mp4: failed (exit code 2)");
    EXPECT_EQ(lines[1], "    command (exit code 2): /bin/ls \"" + Work("a.mp4.ok") + "\"");
    EXPECT_EQ(lines[2].rfind("    | /bin/ls: ", 0), 0u) << lines[2];
    EXPECT_NE(lines[2].find(Work("a.mp4.ok")), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3], "[2/2] b.mp4: done (00:00:00)");
    EXPECT_EQ(lines[4], "1 done, 1 failed");
}

TEST_F(BatchConvertPosixTest, ACrashedConverterFailsItsJobWithTheSignal) {
    WriteItem({HelperLine("crash", "segv"), HelperLine("args", "\"<%InputFile%>\"")});
    WriteWork("a.mp4");
    const BatchResult result = Run(Convert({"a.mp4"}));
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 3u) << result.err;
    EXPECT_EQ(lines[0], "[1/1] a.mp4: failed (signal 11)");
    EXPECT_EQ(lines[1], "    command (signal 11): \"" + kHelpers + "/test-helper-crash\" segv");
    EXPECT_EQ(lines[2], "0 done, 1 failed");
    // The job's other commands still ran.
    EXPECT_EQ(ReadArguments(argsOut_).size(), 2u);
}

TEST_F(BatchConvertPosixTest, AMissingProgramEndsTheRunWithExit3AndTheReason) {
    WriteItem({HelperLine("exitcode", "0"), "\"\"/no/such dir/conv\" \"<%InputFile%>\"\"",
               HelperLine("args", "\"<%InputFile%>\"")});
    WriteWork("a.mp4");
    WriteWork("b.mp4");
    const BatchResult result = Run(Convert({"a.mp4", "b.mp4"}));
    EXPECT_EQ(result.exitCode, 3);
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 3u) << result.err;
    EXPECT_EQ(lines[0],
              "[1/2] a.mp4: could not start: the program \"/no/such dir/conv\" was not found");
    EXPECT_EQ(lines[1], "    command: \"/no/such dir/conv\" \"" + Work("a.mp4") + "\"");
    EXPECT_EQ(lines[2], "0 done, 2 not run");
    // Nothing after the missing program ran, for this job or the next.
    EXPECT_FALSE(fs::exists(argsOut_));
}

TEST_F(BatchConvertPosixTest, CtrlCStopsTheRunningJobAndEndsTheRun) {
    WriteItem({HelperLine("sleep", "60"), HelperLine("args", "\"<%InputFile%>\"")});
    WriteWork("a.mp4");
    WriteWork("b.mp4");
    WriteWork("c.mp4");
    const pid_t batch = Start(Convert({"a.mp4", "b.mp4", "c.mp4"}));
    ASSERT_GT(batch, 0);
    const std::string sleeper = kHelpers + "/test-helper-sleep";
    std::vector<pid_t> children;
    ASSERT_TRUE(WaitFor([&] {
        children = ChildrenRunning(batch, sleeper);
        return !children.empty();
    }));

    ASSERT_EQ(kill(batch, SIGINT), 0);
    const BatchResult result = Wait(batch);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 3u) << result.err;
    EXPECT_EQ(lines[0].rfind("palomix-batch: stopping", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "[1/3] a.mp4: stopped");
    EXPECT_EQ(lines[2], "0 done, 1 stopped, 2 not run");
    // The stopped job's next command and the other jobs never ran, and no helper is left.
    EXPECT_FALSE(fs::exists(argsOut_));
    EXPECT_TRUE(GroupGone(children.front()));
}

TEST_F(BatchConvertPosixTest, ASecondCtrlCEndsTheProgramAtOnceAndKillsTheConverter) {
    // The helper ignores the terminate signal, so the first Ctrl-C leaves it running for the
    // grace period before the kill.
    WriteItem({HelperLine("ignoreterm", "\"<%InputFile%>.ready\"")});
    WriteWork("a.mp4");
    const pid_t batch = Start(Convert({"a.mp4"}));
    ASSERT_GT(batch, 0);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(work_ / "a.mp4.ready"); }));
    const std::vector<pid_t> children =
        ChildrenRunning(batch, kHelpers + "/test-helper-ignoreterm");
    ASSERT_EQ(children.size(), 1u);

    ASSERT_EQ(kill(batch, SIGINT), 0);
    ASSERT_TRUE(WaitFor([&] {
        return ReadAll((root_ / "stderr.txt").string()).find("stopped") != std::string::npos;
    }));
    ASSERT_EQ(kill(batch, SIGINT), 0);
    const BatchResult result = Wait(batch);
    // Ended by the signal itself, not by the end of the run after the stop's kill.
    EXPECT_EQ(result.signal, SIGINT) << result.err;
    EXPECT_NE(result.err.find("palomix-batch: ended at once"), std::string::npos) << result.err;
    EXPECT_TRUE(GroupGone(children.front()));
}

TEST_F(BatchConvertPosixTest, ATerminateSignalEndsTheProgramAtOnceAndKillsTheConverter) {
    WriteItem({HelperLine("sleep", "60")});
    WriteWork("a.mp4");
    const pid_t batch = Start(Convert({"a.mp4"}));
    ASSERT_GT(batch, 0);
    std::vector<pid_t> children;
    ASSERT_TRUE(WaitFor([&] {
        children = ChildrenRunning(batch, kHelpers + "/test-helper-sleep");
        return !children.empty();
    }));
    ASSERT_EQ(kill(batch, SIGTERM), 0);
    const BatchResult result = Wait(batch);
    EXPECT_EQ(result.signal, SIGTERM) << result.err;
    EXPECT_TRUE(GroupGone(children.front()));
}

}  // namespace
}  // namespace palomix::testing

namespace palomix::testing {
namespace {

TEST_F(BatchConvertPosixTest, NumberedNamesAreSaidAndExistingOutputsCanBeSkipped) {
    WriteItem({HelperLine("exitcode", "0 \"<%OutputFile%>.mp4\"")});
    WriteWork("a/clip.mov");
    WriteWork("b/clip.mov");
    const BatchResult kept = Run(Convert({"a/clip.mov", "b/clip.mov"}));
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_NE(kept.err.find("[2/2] clip.mov: done (00:00:00) as clip (2)\n"), std::string::npos)
        << kept.err;

    WriteWork("out/clip.mp4", "made before");
    std::vector<std::string> skipping = Convert({"a/clip.mov"});
    skipping.insert(skipping.begin(), {"--existing", "skip"});
    const BatchResult skipped = Run(skipping);
    EXPECT_EQ(skipped.exitCode, 0) << skipped.err;  // left out as asked: no error
    EXPECT_NE(skipped.err.find(
                  "clip.mov: skipped (the output file exists: " + Work("out/clip.mp4") + ")"),
              std::string::npos)
        << skipped.err;
    EXPECT_NE(skipped.err.find("0 done, 1 skipped"), std::string::npos) << skipped.err;
}

}  // namespace
}  // namespace palomix::testing

namespace palomix::testing {
namespace {

// However a run ends (a terminate or hang-up signal, a second Ctrl-C, with several jobs at once),
// what its jobs were writing goes with it. A run killed outright leaves its temporaries to the
// next start, which removes them.
TEST_F(BatchConvertPosixTest, NoTemporaryFileOutlivesTheRun) {
    // The converter writes its output and stays, a terminate signal notwithstanding.
    WriteItem({HelperLine("ignoreterm", "\"<%OutputFile%>.mp4\"")});
    WriteWork("a.mp4");
    WriteWork("b.mp4");
    const auto temporaries = [&] {
        int count = 0;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(work_ / "out", error)) {
            count += HasTemporaryMark(entry.path().filename().string()) ? 1 : 0;
        }
        return count;
    };
    struct Way {
        std::string name;
        std::vector<int> signals;
        int jobs;
    };
    for (const Way& way : {Way{"terminate", {SIGTERM}, 1}, Way{"hang-up", {SIGHUP}, 1},
                           Way{"two Ctrl-C", {SIGINT, SIGINT}, 1},
                           Way{"terminate, two jobs", {SIGTERM}, 2}, Way{"kill", {SIGKILL}, 2}}) {
        SCOPED_TRACE(way.name);
        std::vector<std::string> arguments = Convert({"a.mp4", "b.mp4"});
        arguments.insert(arguments.begin(), {"--jobs", std::to_string(way.jobs)});
        const pid_t batch = Start(arguments);
        ASSERT_GT(batch, 0);
        ASSERT_TRUE(WaitFor([&] { return temporaries() == way.jobs; }));
        // A temporary is noted for the next start just after it is made: the signal comes
        // while the converters run, once that is done (a kill between the two is not this
        // test's case).
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (const int signal : way.signals) {
            kill(batch, signal);
            ASSERT_TRUE(WaitFor([&] {
                return signal != SIGINT ||
                       ReadAll((root_ / "stderr.txt").string()).find("stopping") !=
                           std::string::npos;
            }));
        }
        const BatchResult result = Wait(batch);
        // The first Ctrl-C's stop may end the run before the second arrives: either way ends.
        if (way.signals.size() == 1 || result.signal != 0) {
            EXPECT_EQ(result.signal, way.signals.back()) << result.err;
        }
        if (way.signals.back() == SIGKILL) {
            EXPECT_EQ(temporaries(), 2);
            WriteItem({HelperLine("exitcode", "0")});
            EXPECT_EQ(Run(Convert({"a.mp4"})).exitCode, 0);
        }
        EXPECT_EQ(temporaries(), 0);
    }
}

TEST_F(BatchConvertPosixTest, SeveralAtOnceReportEachJobAsItFinishes) {
    // Each input is a little script that takes as long as it says.
    WriteItem({"/bin/sh \"<%InputFile%>\""});
    WriteWork("slow.sh", "sleep 1\n");
    WriteWork("quick.sh", "sleep 0.1\n");
    std::vector<std::string> arguments = Convert({"slow.sh", "quick.sh"});
    arguments.insert(arguments.begin(), {"--jobs", "2"});
    const BatchResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 3u) << result.err;
    EXPECT_EQ(lines[0].rfind("[1/2] quick.sh: done", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("[2/2] slow.sh: done", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "2 done");
}

}  // namespace
}  // namespace palomix::testing

namespace palomix::testing {
namespace {

// An output folder that cannot be made starts nothing and says why, once.
TEST_F(BatchConvertPosixTest, AnOutputFolderThatCannotBeMadeSaysWhyOnce) {
    WriteItem({HelperLine("args", "\"<%OutputFile%>.mp4\"")});
    WriteWork("a.mp4");
    WriteWork("b.mp4");
    WriteWork("file");
    std::vector<std::string> arguments = Convert({"a.mp4", "b.mp4"});
    arguments[3] = "file/new";  // below a file: no folder can be made there
    const BatchResult result = Run(arguments);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Lines(result.err),
              (std::vector<std::string>{"palomix-batch: the output folder '" + Work("file/new") +
                                            "' cannot be made: Not a directory",
                                        "0 done, 2 not run"}));
    EXPECT_FALSE(fs::exists(argsOut_));
}

// The media probe helper (here a fake one: "crash" in a path ends it, "hang" holds it) is
// asked of every output: a file that crashes it fails only its own job, and however the run
// ends (Ctrl-C, a kill of palomix-batch itself) no probe is left running.
class ProbeHelperPosixTest : public BatchConvertPosixTest {
protected:
    void SetUp() override {
        BatchConvertPosixTest::SetUp();
        fs::copy_file(kHelpers + "/test-helper-fakeprobe", program_ / "palomix-probe");
        WriteItem({HelperLine("copy", "\"<%InputFile%>\" \"<%OutputFile%>.wav\"")});
        probe_ = Text(program_ / "palomix-probe");
    }
    // Starts a run of the file, waits until the probe helper is asked about it, and gives the
    // run's process id and the helper's.
    std::pair<pid_t, pid_t> StartHanging() {
        WriteWork("hang.wav");
        const pid_t batch = Start(Convert({"hang.wav"}));
        std::vector<pid_t> probes;
        EXPECT_TRUE(WaitFor([&] {
            probes = ChildrenRunning(batch, probe_);
            return !probes.empty();
        }));
        return {batch, probes.empty() ? -1 : probes.front()};
    }
    std::string probe_;
};

TEST_F(ProbeHelperPosixTest, AFileThatCrashesTheProbeFailsItsJobAloneAndTheProbeStartsAgain) {
    WriteWork("a.wav");
    WriteWork("crash.wav");
    WriteWork("b.wav");
    const BatchResult result = Run(Convert({"a.wav", "crash.wav", "b.wav"}));
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 4u) << result.err;
    EXPECT_EQ(lines[0], "[1/3] a.wav: done (00:00:00)");
    EXPECT_EQ(lines[1],
              "[2/3] crash.wav: failed (the output cannot be played to its end (the "
              "probe crashed): " +
                  Work("out/crash.wav") + ")");
    EXPECT_EQ(lines[2], "[3/3] b.wav: done (00:00:00)");
    EXPECT_EQ(lines[3], "2 done, 1 failed");
}

// A pseudo-terminal in raw mode (bytes as they are written), for a program's standard output
// to be a terminal. It holds a little: enough for a short listing.
class PseudoTerminal {
public:
    PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        path_ = ::ptsname(master_);
        // Held open, so that what the program wrote stays readable after its end.
        terminal_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
        termios mode{};
        ::tcgetattr(terminal_, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(terminal_, TCSANOW, &mode);
    }
    ~PseudoTerminal() {
        ::close(terminal_);
        ::close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& Path() const { return path_; }
    // What was written to the terminal since the last call.
    std::string Take() const {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    int master_ = -1;
    int terminal_ = -1;
    std::string path_;
};

// Bytes that would act on a terminal: a control character but a line end or a tab, DEL, or a
// C1 control in UTF-8. Empty when there are none.
std::string TerminalControls(const std::string& text) {
    std::string found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80;
        if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F || c1) {
            found += "byte " + std::to_string(byte) + " at " + std::to_string(i) + "; ";
        }
    }
    return found;
}

// A file named with escape sequences (CSI, OSC, a C1 CSI) shows as harmless text wherever
// palomix-batch names it: the job's line and its failure's reason, a path left out, the summary,
// an unknown settings file, and on a terminal the dry run's lines and the list.
TEST_F(ProbeHelperPosixTest, TerminalEscapesNeverReachTheTerminal) {
    const std::string escapes =
        "\x1b[2J\x1b]0;owned\x07\xC2\x9B"
        "31m";
    const std::string shown = "?[2J?]0;owned??31m";
    const std::string name = "crash " + escapes + ".wav";  // the fake probe crashes on it
    WriteWork(name);
    WriteSettings("e" + escapes + ".ini", "[Info]\nTitle=" + escapes + "\nTitleE=" + escapes +
                                              "\n[Item0]\nTitle=" + escapes +
                                              "\nTitleE=" + escapes + "\nCommand0=x\n");
    // What a person reads: standard error always, standard output on a terminal (a file or a
    // pipe gets the bytes as they are).
    std::vector<std::string> read;
    const BatchResult failed = Run(Convert({name, "gone " + escapes + ".wav"}));
    EXPECT_NE(failed.err.find("probe crashed): " + Work("out/crash " + shown + ".wav")),
              std::string::npos)
        << failed.err;
    read.push_back(failed.err);
    WriteWork("out/crash " + escapes + ".wav");
    std::vector<std::string> skipping = Convert({name});
    skipping.insert(skipping.begin(), {"--existing", "skip"});
    read.push_back(Run(skipping).err);
    skipping.insert(skipping.begin(), "--dry-run");
    read.push_back(Run(skipping).err);
    read.push_back(Run({"--settings", "none" + escapes + ".ini", name}).err);

    PseudoTerminal terminal;
    for (const std::vector<std::string>& arguments :
         {Convert({"--dry-run", name}), std::vector<std::string>{"--list"}}) {
        std::vector<std::string> command{Text(program_ / kProgramName)};
        command.insert(command.end(), arguments.begin(), arguments.end());
        children_.Wait(children_.Start(command, WorkFolder(), {}, terminal.Path(),
                                       Text(root_ / "stderr.txt")));
        read.push_back(terminal.Take());
        EXPECT_NE(read.back().find(shown), std::string::npos) << read.back();
    }
    for (const std::string& text : read) {
        EXPECT_NE(text, "");
        EXPECT_EQ(TerminalControls(text), "") << text;
    }
}

TEST_F(ProbeHelperPosixTest, NoProbeOutlivesARunEndedByCtrlCOrKilled) {
    pid_t batch = 0;
    pid_t probe = 0;
    std::tie(batch, probe) = StartHanging();
    ASSERT_GT(probe, 0);
    ASSERT_EQ(kill(batch, SIGINT), 0);
    const BatchResult stopped = Wait(batch);
    EXPECT_EQ(Lines(stopped.err).at(1), "[1/1] hang.wav: stopped") << stopped.err;
    EXPECT_TRUE(WaitFor([&] { return GroupGone(probe); }));

    std::tie(batch, probe) = StartHanging();
    ASSERT_GT(probe, 0);
    ASSERT_EQ(kill(batch, SIGKILL), 0);
    EXPECT_EQ(Wait(batch).signal, SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return GroupGone(probe); }));
}

}  // namespace
}  // namespace palomix::testing
