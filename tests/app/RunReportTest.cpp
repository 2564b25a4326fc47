// The texts of the status strip and of the failure list.
#include <gtest/gtest.h>

#include "app/RunReport.h"

namespace palomix {
namespace {

const RunTexts& English() {
    return RunTextsFor(Language::English);
}

CommandRecord Command(std::string line, CommandState state, ProcessExit exit = {},
                      std::vector<std::string> tail = {}) {
    CommandRecord record;
    record.commandLine = std::move(line);
    record.state = state;
    record.exit = exit;
    record.logTail = std::move(tail);
    return record;
}

JobResult Job(const std::string& path, JobOutcome outcome, std::vector<CommandRecord> commands) {
    JobResult result;
    result.path = path;
    result.outcome = outcome;
    result.commands = std::move(commands);
    return result;
}

JobResult Failed(const std::string& path) {
    return Job(path, JobOutcome::Failed,
               {Command("ffmpeg -i in out", CommandState::Failed, {ProcessExit::Kind::Signalled, 9},
                        {"line one", "last line"})});
}

TEST(RunReportTest, StatusShowsTheJobCountAndFailures) {
    RunReport report;
    EXPECT_EQ(RunStatusText(report, false, 0, English()), "");
    EXPECT_EQ(RunStatusText(report, true, 3, English()), "Converting: 3 job(s) left");
    report.JobEnded(Job("/ok", JobOutcome::Done, {Command("x", CommandState::Succeeded)}));
    EXPECT_EQ(report.FailureCount(), 0);
    report.JobEnded(
        Job("/stopped", JobOutcome::Stopped, {Command("sleep 9", CommandState::Stopped)}));
    report.JobEnded(Failed("/bad"));
    EXPECT_EQ(RunStatusText(report, true, 1, English()),
              "Converting: 1 job(s) left  1 failed, 1 stopped (click for details)");
    EXPECT_EQ(RunStatusText(report, false, 0, RunTextsFor(Language::Japanese)),
              "変換 1 件、失敗 1 件、中止 1 件 (クリックで詳細)");
    // A new batch counts afresh; the list stays until it is cleared.
    report.Reset();
    EXPECT_EQ(report.FailureCount(), 2);
    EXPECT_EQ(RunStatusText(report, false, 0, English()),
              "Failed conversions are listed (click for details)");
    report.ClearFailures();
    EXPECT_EQ(RunStatusText(report, false, 0, English()), "");
}

TEST(RunReportTest, ALaunchFailureIsShownUntilACommandStarts) {
    RunReport report;
    CommandRecord refused = Command("x -y", CommandState::NotLaunched);
    refused.launchFailure = LaunchFailure{LaunchError::ProgramNotFound, "x", 0, {}};
    report.JobEnded(Job("/a.avi", JobOutcome::NotStarted, {refused}));
    EXPECT_EQ(RunStatusText(report, false, 2, English()),
              "Cannot start: the program \"x\" was not found");
    EXPECT_EQ(RunStatusText(report, false, 2, RunTextsFor(Language::Japanese)),
              "起動できません: プログラム \"x\" が見つかりません");
    report.CommandStarted();
    EXPECT_EQ(RunStatusText(report, true, 2, English()),
              "Converting: 2 job(s) left (click for details)");
}

TEST(RunReportTest, FailureListNamesFileCommandEndAndOutput) {
    RunReport report;
    report.JobEnded(Failed("/v/bad clip.avi"));
    report.JobEnded(
        Job("/v/long.avi", JobOutcome::Stopped,
            {Command("ok", CommandState::Succeeded), Command("sleep 9", CommandState::Stopped)}));
    CommandRecord psp = Command("conv \".MP4\"", CommandState::NotRun);
    psp.notRun = NotRun{NotRunReason::PlayerNotAttached, "PSP", 0};
    JobResult nothing = Job("/v/none.avi", JobOutcome::Failed, {});
    nothing.problem = JobProblem::NothingToRun;
    report.JobEnded(Job("/v/psp.avi", JobOutcome::Failed, {psp}));
    report.JobEnded(nothing);
    EXPECT_EQ(FailureListText(report, English()),
              "File: /v/bad clip.avi\n"
              "Command line: ffmpeg -i in out\n"
              "Result: signal 9\n"
              "Last output:\n"
              "    line one\n"
              "    last line\n"
              "\n"
              "File: /v/long.avi\n"
              "Command line: sleep 9\n"
              "Result: stopped\n"
              "\n"
              "File: /v/psp.avi\n"
              "Command line: conv \".MP4\"\n"
              "Result: not run: no PSP is attached\n"
              "\n"
              "File: /v/none.avi\n"
              "Result: the command has no command line to run\n");
}

}  // namespace
}  // namespace palomix
