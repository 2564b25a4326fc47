#include "cli/JobReport.h"

#include <gtest/gtest.h>

namespace palomix {
namespace {

JobResult Result(JobOutcome outcome, std::string path = "/media/clip one.mp4") {
    JobResult result;
    result.path = std::move(path);
    result.outcome = outcome;
    return result;
}

CommandRecord Ran(std::string line, ProcessExit exit, std::vector<std::string> tail = {}) {
    CommandRecord record;
    record.commandLine = std::move(line);
    record.state = exit.Succeeded() ? CommandState::Succeeded : CommandState::Failed;
    record.exit = exit;
    record.logTail = std::move(tail);
    return record;
}

TEST(JobReportTest, DoneAndStoppedLines) {
    EXPECT_EQ(JobReportText(Result(JobOutcome::Done), 1, 3, 0, PathStyle::Posix),
              "[1/3] clip one.mp4: done (00:00:00)\n");
    EXPECT_EQ(JobReportText(Result(JobOutcome::Done), 12, 120, 3725, PathStyle::Posix),
              "[12/120] clip one.mp4: done (01:02:05)\n");
    EXPECT_EQ(
        JobReportText(Result(JobOutcome::Done, "C:\\v\\x.avi"), 1, 1, 360000, PathStyle::Windows),
        "[1/1] x.avi: done (100:00:00)\n");
    EXPECT_EQ(JobReportText(Result(JobOutcome::Stopped), 2, 2, 9, PathStyle::Posix),
              "[2/2] clip one.mp4: stopped\n");
}

TEST(JobReportTest, FailedJobListsEveryFailedCommandWithItsLastLines) {
    JobResult result = Result(JobOutcome::Failed);
    result.commands.push_back(Ran("conv ok", {}));
    result.commands.push_back(Ran("conv -i \"a b\"", ProcessExit{ProcessExit::Kind::Exited, 1},
                                  {"first", "Error: bad\tinput"}));
    result.commands.push_back(Ran("crasher", ProcessExit{ProcessExit::Kind::Signalled, 11}));
    EXPECT_EQ(JobReportText(result, 2, 5, 7, PathStyle::Posix),
              "[2/5] clip one.mp4: failed (exit code 1)\n"
              "    command (exit code 1): conv -i \"a b\"\n"
              "    | first\n"
              "    | Error: bad\tinput\n"
              "    command (signal 11): crasher\n");
}

TEST(JobReportTest, ControlCharactersOfNamesAndOutputCannotReachTheTerminal) {
    JobResult result = Result(JobOutcome::Failed, "/m/a\x1b[2Jb\xE6\x97\xA5.mp4");
    result.commands.push_back(Ran("c", ProcessExit{ProcessExit::Kind::Signalled, 9},
                                  {"\x1b]0;title\x07", "ok \xE6\x97\xA5"}));
    EXPECT_EQ(JobReportText(result, 1, 1, 0, PathStyle::Posix),
              "[1/1] a?[2Jb\xE6\x97\xA5.mp4: failed (signal 9)\n"
              "    command (signal 9): c\n"
              "    | ?]0;title?\n"
              "    | ok \xE6\x97\xA5\n");
}

// The cleaning every line for a person goes through: controls of every kind become '?', all
// else stays (characters whose UTF-8 holds bytes 0x80 to 0x9F, and bytes that are not UTF-8).
TEST(JobReportTest, PrintableTextLeavesNoControlAndKeepsTheRest) {
    EXPECT_EQ(PrintableText("a\x1b[31mb\x1b]0;t\x07"
                            "c\r\nd\x7f\te"),
              "a?[31mb?]0;t?c??d?\te");
    EXPECT_EQ(PrintableText("\xC2\x9B"
                            "2J \x9B"
                            "2J \xC2\xA0"),
              "?2J ?2J \xC2\xA0");  // C1
    const std::string kept = "\xE6\x97\xA5\xE8\xAA\x9E \xFF\xE9t\xE9 \xE6\xA5";
    EXPECT_EQ(PrintableText(kept), kept);
    for (const std::string& text : {std::string("\x1b\xC2\x9B\x85\x01"), kept}) {
        EXPECT_EQ(PrintableText(PrintableText(text)), PrintableText(text));
    }
    EXPECT_EQ(PrintableLine("x\ny"), "x?y\n");
}

// The reasons that name a path are cleaned with the line, as the name itself is.
TEST(JobReportTest, TerminalEscapesInAReasonReachNoTerminal) {
    const std::string escapes = "\x1b[2J\x1b]0;x\x07\xC2\x9B";
    JobResult failed = Result(JobOutcome::Failed, "/m/" + escapes + ".mp4");
    failed.problem = JobProblem::OutputMissing;
    failed.problemSubject = "/o/" + escapes + ".mp4";
    EXPECT_EQ(JobReportText(failed, 1, 1, 0, PathStyle::Posix),
              "[1/1] ?[2J?]0;x??.mp4: failed (the output was not written: /o/?[2J?]0;x??.mp4)\n");
    JobResult skipped = failed;
    skipped.outcome = JobOutcome::Skipped;
    skipped.problem = JobProblem::OutputExists;
    EXPECT_EQ(JobReportText(skipped, 1, 1, 0, PathStyle::Posix),
              "[1/1] ?[2J?]0;x??.mp4: skipped (the output file exists: /o/?[2J?]0;x??.mp4)\n");
}

TEST(JobReportTest, NotStartedJobGivesTheReasonAndTheLine) {
    JobResult result = Result(JobOutcome::NotStarted);
    CommandRecord refused;
    refused.commandLine = "\"/x/conv\" -i y";
    refused.state = CommandState::NotLaunched;
    refused.launchFailure = LaunchFailure{LaunchError::ProgramNotFound, "/x/conv", 0, {}};
    result.commands.push_back(refused);
    EXPECT_EQ(JobReportText(result, 1, 2, 0, PathStyle::Posix),
              "[1/2] clip one.mp4: could not start: the program \"/x/conv\" was not found\n"
              "    command: \"/x/conv\" -i y\n");
}

TEST(JobReportTest, LinesNotRunAndJobProblemsSayWhy) {
    JobResult result = Result(JobOutcome::Failed);
    CommandRecord psp;
    psp.commandLine = "conv \".MP4\"";
    psp.state = CommandState::NotRun;
    psp.notRun = NotRun{NotRunReason::PlayerNotAttached, "PSP", 0};
    result.commands.push_back(psp);
    EXPECT_EQ(JobReportText(result, 1, 1, 0, PathStyle::Posix),
              "[1/1] clip one.mp4: failed (not run: no PSP is attached)\n"
              "    command (not run: no PSP is attached): conv \".MP4\"\n");

    JobResult nothing = Result(JobOutcome::Failed);
    nothing.problem = JobProblem::NothingToRun;
    EXPECT_EQ(JobReportText(nothing, 2, 2, 0, PathStyle::Posix),
              "[2/2] clip one.mp4: failed (the command has no command line to run)\n");
}

TEST(JobReportTest, SummaryShowsDoneAlwaysAndTheRestWhenThereAreAny) {
    EXPECT_EQ(RunSummaryText({}), "0 done\n");
    EXPECT_EQ(RunSummaryText({3, 1, 0, 0}), "3 done, 1 failed\n");
    EXPECT_EQ(RunSummaryText({0, 0, 1, 2}), "0 done, 1 stopped, 2 not run\n");
    EXPECT_EQ(RunSummaryText({1, 2, 3, 4}), "1 done, 2 failed, 3 stopped, 4 not run\n");
}

}  // namespace
}  // namespace palomix
