// The words of progress: the status strip's queue total, the time left, a converting row's tool
// tip, and the bar's width. Numbers that are not known are left out, and a share is never shown
// larger than it is.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/Captions.h"
#include "app/ProgressDelegate.h"
#include "app/ProgressWords.h"
#include "app/RunReport.h"

namespace palomix {
namespace {

const RunOptionTexts& kEnglish = RunOptionTextsFor(Language::English);
const RunOptionTexts& kJapanese = RunOptionTextsFor(Language::Japanese);

std::string Strip(const QueueProgress& queue, Language language) {
    const RunReport report;
    return RunStatusLine(report, true, queue.jobsLeft, RunTextsFor(language),
                         QueueProgressWords(queue, RunOptionTextsFor(language)))
        .text;
}

TEST(ProgressWordsTest, TheStripAddsTheQueuesShareAndTimeLeftThatAreKnown) {
    EXPECT_EQ(Strip({6, 42.9, 170}, Language::English),
              "Converting: 6 job(s) left · 42% · ~3 min left");
    EXPECT_EQ(Strip({6, 42.9, 170}, Language::Japanese), "変換中: 残り 6 件・42%・あと約 3 分");
    // Unknown parts are left out, never shown as 0.
    EXPECT_EQ(Strip({6, std::nullopt, std::nullopt}, Language::English),
              "Converting: 6 job(s) left");
    EXPECT_EQ(Strip({2, 0.4, std::nullopt}, Language::English), "Converting: 2 job(s) left · 0%");
    EXPECT_EQ(Strip({2, std::nullopt, 20}, Language::English),
              "Converting: 2 job(s) left · under 1 min left");
}

TEST(ProgressWordsTest, ASharesWholePercentIsRoundedDownAndStaysWithinTheScale) {
    EXPECT_EQ(WholePercent(99.99), 99);
    EXPECT_EQ(WholePercent(100), 100);
    EXPECT_EQ(WholePercent(250), 100);
    EXPECT_EQ(WholePercent(-3), 0);
    EXPECT_EQ(WholePercent(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ProgressWordsTest, TimeLeftIsRoundedToTheNearestMinuteAndTurnsIntoHours) {
    EXPECT_EQ(TimeLeftWords(59, kEnglish), "under 1 min left");
    EXPECT_EQ(TimeLeftWords(60, kEnglish), "~1 min left");
    EXPECT_EQ(TimeLeftWords(89, kEnglish), "~1 min left");
    EXPECT_EQ(TimeLeftWords(90, kEnglish), "~2 min left");
    EXPECT_EQ(TimeLeftWords(3569, kEnglish), "~59 min left");
    EXPECT_EQ(TimeLeftWords(3570, kEnglish), "~1 h left");
    EXPECT_EQ(TimeLeftWords(4800, kEnglish), "~1 h 20 min left");
    EXPECT_EQ(TimeLeftWords(4800, kJapanese), "あと約 1 時間 20 分");
}

TEST(ProgressWordsTest, TheToolTipGivesWhatIsKnownAndTheLineOnlyForSeveral) {
    JobProgress job;
    job.line = 2;
    job.lines = 3;
    job.linePercent = 55.5;
    job.percent = 40.2;
    job.speed = 2.13;
    job.secondsLeft = 75;
    EXPECT_EQ(JobProgressToolTip(job, kEnglish),
              "40% done\nCommand line 2/3: 55%\nSpeed 2.1x\n~1 min left");
    job.linePercent.reset();
    EXPECT_EQ(JobProgressToolTip(job, kJapanese),
              "40% 完了\nコマンドライン 2/3\n速度 2.1x\nあと約 1 分");

    job.renamedTo = "clip (2)";
    EXPECT_TRUE(
        JobProgressToolTip(job, kEnglish)
            .ends_with("\nSaved as \"clip (2)\": this run already has an output of the same name"));

    // A picture: one line, no length, no speed.
    EXPECT_EQ(JobProgressToolTip(JobProgress{1, 1, {}, {}, {}, {}}, kEnglish), "");
    EXPECT_EQ(JobProgressToolTip(JobProgress{1, 1, {}, {}, 0.25, {}}, kEnglish), "Speed 0.25x");
}

TEST(ProgressWordsTest, TheBarCoversTheShareDoneAndIsAbsentWithoutOne) {
    EXPECT_EQ(ProgressBarWidth(std::nullopt, 120), std::nullopt);
    EXPECT_EQ(ProgressBarWidth(JobProgress{}, 120), std::nullopt);
    JobProgress job;
    job.percent = 50;
    EXPECT_EQ(ProgressBarWidth(job, 121), 60);
    job.percent = 120;
    EXPECT_EQ(ProgressBarWidth(job, 121), 121);
    job.percent = 0;
    EXPECT_EQ(ProgressBarWidth(job, 121), 0);
}

}  // namespace
}  // namespace palomix
