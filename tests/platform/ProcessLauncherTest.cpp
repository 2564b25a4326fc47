// The system launcher with real child processes, cases that hold on every system: the helper
// programs in the test helper folder stand in for converters.
#include "platform/ProcessLauncher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/CappedLog.h"
#include "platform/LogTail.h"
#include "tests/platform/LauncherTestSupport.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::Helper;
using testing::HelperFile;

class ProcessLauncherTest : public testing::LauncherTest {
protected:
    // A copy of the args helper at `folder`/args, as a command line names it.
    std::string ArgsHelperIn(const std::string& folder) {
        fs::create_directories(folder);
        const std::string suffix = PALOMIX_EXECUTABLE_SUFFIX;
        fs::copy_file(HelperFile("args"), folder + "/args" + suffix);
        return folder + "/args";
    }

    // The arguments after argument 0, which must be the program.
    std::vector<std::string> ArgumentsAfterProgram(const std::string& line,
                                                   const std::string& program) {
        std::vector<std::string> arguments = ArgumentsOf(line);
        if (arguments.empty()) {
            ADD_FAILURE() << line << ": no arguments at all";
            return arguments;
        }
        const std::string suffix = PALOMIX_EXECUTABLE_SUFFIX;
        EXPECT_TRUE(fs::equivalent(arguments.front(), program + suffix)) << arguments.front();
        arguments.erase(arguments.begin());
        return arguments;
    }
};

TEST_F(ProcessLauncherTest, ProgramIsReadAsWindowsReadsTheFirstToken) {
    const std::string args = ArgsHelperIn(folder_ + "/my tools");
    // "<folder>/my" exists but cannot be run, so the longer reading is taken.
    std::ofstream(folder_ + "/my") << "not a program";
    using Args = std::vector<std::string>;

    // Unquoted with blanks: the program is found prefix by prefix, and it sees exactly the
    // arguments after it.
    EXPECT_EQ(ArgumentsAfterProgram(args + " one \"two three\"", args), (Args{"one", "two three"}));
    // Quoted: the program runs to the next quote; text glued to it belongs to argument 0.
    EXPECT_EQ(ArgumentsAfterProgram("\"" + args + "\" x", args), Args{"x"});
    EXPECT_EQ(ArgumentsAfterProgram("\"" + args + "\"glued y", args), Args{"y"});

    // Readings Windows never starts: a leading blank, a quote inside an unquoted name, a
    // backslash that does not escape the quote that ends a quoted name.
    for (const std::string& line : {" " + args + " x", folder_ + "/\"my tools\"/args x",
                                    args + "\\\"x y", "\"" + args + "\\\" a b"}) {
        const LaunchResult launched = Launch(line);
        EXPECT_FALSE(launched.launched) << line;
        EXPECT_NE(launched.reason.find("was not found"), std::string::npos) << launched.reason;
    }
}

TEST_F(ProcessLauncherTest, TimeLimitEndsAHangingProgramAndSaysSo) {
    const std::optional<ProcessExit> hanging = Run(Helper("sleep"), {.timeLimit = 200ms});
    ASSERT_TRUE(hanging.has_value());
    EXPECT_TRUE(hanging->timeLimitReached);
    EXPECT_FALSE(hanging->Succeeded());
    EXPECT_NE(DescribeExit(*hanging).find("time limit"), std::string::npos);

    const std::optional<ProcessExit> quick = Run(Helper("exitcode") + " 0", {.timeLimit = 60s});
    EXPECT_EQ(quick, (ProcessExit{ProcessExit::Kind::Exited, 0}));
}

// A stray program beside a folder with a blank in its name ("Program" beside "Program Files")
// is found first by an unquoted path: the line is refused with both names, never started in
// silence, whether the converter it names is there or not. Quoted, it starts the converter.
TEST_F(ProcessLauncherTest, TheCheckAndTheRunStartDifferentPrograms) {
    const std::string converter = ArgsHelperIn(folder_ + "/Program Files/cores");
    const std::string suffix = PALOMIX_EXECUTABLE_SUFFIX;
    fs::copy_file(HelperFile("args"), folder_ + "/Program" + suffix);
    const std::string line = converter + " -y out";
    for (const bool converterThere : {true, false}) {
        if (!converterThere) {
            fs::rename(converter + suffix, folder_ + "/elsewhere" + suffix);
        }
        const LaunchResult refused = Launch(line);
        EXPECT_FALSE(refused.launched);
        EXPECT_EQ(refused.failure.error, LaunchError::AmbiguousProgram);
        EXPECT_TRUE(fs::equivalent(refused.failure.program, folder_ + "/Program" + suffix));
        EXPECT_EQ(refused.failure.meant, converter);
        EXPECT_FALSE(fs::exists(folder_ + "/args.out"));  // nothing ran
    }
    fs::rename(folder_ + "/elsewhere" + suffix, converter + suffix);
    EXPECT_EQ(ArgumentsAfterProgram("\"" + converter + "\" -y out", converter),
              (std::vector<std::string>{"-y", "out"}));
    fs::remove(folder_ + "/Program" + suffix);
    EXPECT_EQ(ArgumentsAfterProgram(line, converter), (std::vector<std::string>{"-y", "out"}));
}

// A program that prints without end (16 MB here) never blocks on its output, and its log keeps
// the head and the tail, with a line saying how much was left out between them: what reads the
// end (the progress, the last lines of a failure) reads it as the program wrote it.
TEST_F(ProcessLauncherTest, AConvertersLogGrowsWithoutLimit) {
    const LaunchResult launched = Launch(Helper("spew") + " 8");
    ASSERT_TRUE(launched.launched);
    EXPECT_EQ(WaitForEnd(launched), (ProcessExit{ProcessExit::Kind::Exited, 0}));
    const std::string log = testing::ReadFile(launched.logPath);
    EXPECT_LE(log.size(), kLogHeadBytes + 2 * kLogTailBytes + 100);
    EXPECT_GE(log.size(), kLogHeadBytes + kLogTailBytes);
    bool whole = true;
    EXPECT_EQ(FirstLines(launched.logPath, 1, whole),
              std::vector<std::string>{std::string(1023, 'x')});
    EXPECT_FALSE(whole);
    EXPECT_NE(log.find(" bytes of output left out here]\n"), std::string::npos);
    EXPECT_EQ(LastLines(launched.logPath, 2),
              (std::vector<std::string>{std::string(1023, 'x'), "spew done"}));
}

}  // namespace
}  // namespace palomix
