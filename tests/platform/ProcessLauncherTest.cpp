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

}  // namespace
}  // namespace palomix
