// The texts of the status strip and of the failure list.
#include <gtest/gtest.h>

#include "app/RunReport.h"

namespace palomix {
namespace {

const RunTexts& English() {
    return RunTextsFor(Language::English);
}

JobResult Failed(const std::string& path) {
    JobResult result;
    result.path = path;
    result.outcome = JobOutcome::Failed;
    result.failures.push_back(FailedCommand{
        "ffmpeg -i in out", {ProcessExit::Kind::Signalled, 9}, {"line one", "last line"}});
    return result;
}

TEST(RunReportTest, StatusShowsTheJobCountAndFailures) {
    RunReport report;
    EXPECT_EQ(RunStatusText(report, false, 0, English()), "");
    EXPECT_EQ(RunStatusText(report, true, 3, English()), "Converting: 3 job(s) left");
    report.JobFinished(JobResult{"/ok", JobOutcome::Done, 0, 1, {}, {}});
    EXPECT_EQ(report.FailureCount(), 0);
    report.CommandStarted("sleep 9");
    report.JobFinished(JobResult{"/stopped", JobOutcome::Stopped, 3, 1, {}, {}});
    report.JobFinished(Failed("/bad"));
    EXPECT_EQ(RunStatusText(report, true, 1, English()),
              "Converting: 1 job(s) left  2 failed (click for details)");
    EXPECT_EQ(RunStatusText(report, false, 0, RunTextsFor(Language::Japanese)),
              "失敗 2 件 (クリックで詳細)");
    report.Reset();
    EXPECT_EQ(report.FailureCount(), 0);
}

TEST(RunReportTest, ALaunchFailureIsShownUntilACommandStarts) {
    RunReport report;
    JobResult notStarted{"/a.avi", JobOutcome::NotStarted,           0, 0,
                         {},       "the program \"x\" was not found"};
    report.JobFinished(notStarted);
    report.RunEnded(RunEnd{RunEndReason::LaunchFailed, "the program \"x\" was not found", "x -y"});
    EXPECT_EQ(RunStatusText(report, false, 2, English()),
              "Cannot start: the program \"x\" was not found");
    ASSERT_EQ(report.FailedJobs().size(), 1u);
    EXPECT_EQ(report.FailedJobs()[0].launchCommand, "x -y");
    report.CommandStarted("y");
    EXPECT_EQ(RunStatusText(report, true, 2, English()),
              "Converting: 2 job(s) left  1 failed (click for details)");
}

TEST(RunReportTest, FailureListNamesFileCommandEndAndOutput) {
    RunReport report;
    report.JobFinished(Failed("/v/bad clip.avi"));
    report.CommandStarted("sleep 9");
    report.JobFinished(JobResult{"/v/long.avi", JobOutcome::Stopped, 3, 1, {}, {}});
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
              "Result: stopped\n");
}

}  // namespace
}  // namespace palomix
