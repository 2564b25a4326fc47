// The progress the window shows while converting: a bar behind the unchanged status text of a
// converting row, its tool tip, the queue's total on the status strip, and the desktop's
// sleep lock and launcher progress, which end with the run.
#include <gtest/gtest.h>
#include <QImage>
#include <QPixmap>
#include <QTableView>

#include <cmath>
#include <regex>

#include "app/ProgressDelegate.h"
#include "app/RunSettingsMenu.h"
#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ProgressLauncher.h"

namespace palomix::testing {
namespace {

using WindowProgressTest = WindowTest;

TEST_F(WindowProgressTest, AConvertingRowShowsItsShareAndTheStripTheQueues) {
    // Lengths come from cores/ffprobe: each input lasts 100 s; the conversion of a.avi (into
    // a.probe, under a temporary name) is 42 s in.
    scratch_.Write("program/cores/ffprobe", "");
    const std::string logs = scratch_.MakeFolder("logs");
    const auto desktop = std::make_shared<DesktopLog>();
    MainFormEnvironment environment;
    environment.makeDesktop = Recording(desktop);
    environment.makeLauncher = [logs](PostToHost post) {
        return std::make_unique<ProgressLauncher>(
            std::move(post), logs, "100.000000", [](const std::string& line) {
                return line.find("a.probe") != std::string::npos ? StatisticsLine(42, 2.0)
                                                                 : std::string();
            });
    };
    TMainForm1& form = MakeForm(std::move(environment));
    form.FormActivate();
    form.B2Click();
    Pick(*form.MultiComboBox2, kProbe);
    form.BrowserEdit1->SetPath(outFolder_);
    form.Timer0->stop();
    form.resize(form.sizeHint());
    form.show();
    form.FormDropFiles({scratch_.Write("in/a.avi", "a"), scratch_.Write("in/b.avi", "b")});
    // The lengths are probed as the ticks go by; the time left needs two seconds.
    ASSERT_TRUE(WaitUntil([&] {
        form.Timer0Timer();
        return form.Core().Queue().secondsLeft.has_value();
    }));
    ASSERT_LT(form.Core().ElapsedSeconds(), 10);

    // The status text is the same as without progress.
    EXPECT_TRUE(
        std::regex_match(form.GridCell(0, 1), std::regex(R"(Converting\.\.\.\(00:00:0\d\))")))
        << form.GridCell(0, 1);
    // 42 s of the 200 s of the queue: 21 %; the time left is in words of its own.
    const std::string strip = form.RunStatus1->Status().toStdString();
    EXPECT_TRUE(strip.starts_with("Converting: 2 job(s) left · 21% · ")) << strip;
    const QModelIndex head = form.StringGrid2->model()->index(0, 0);
    EXPECT_TRUE(form.GridProgress().ToolTip(head).startsWith("42% done\nSpeed 2.0x\n"))
        << form.GridProgress().ToolTip(head).toStdString();
    EXPECT_EQ(form.GridProgress().ToolTip(head.siblingAtRow(1)), QString());  // waiting

    // The bar lies behind the head's status text, not behind the waiting row's.
    QTableView& fixed = form.StringGrid2->FixedColumn();
    fixed.viewport()->repaint();
    const QImage picture = fixed.viewport()->grab().toImage();
    const QRect cell = fixed.visualRect(head);
    const QRect waiting = fixed.visualRect(head.siblingAtRow(1));
    EXPECT_EQ(QColor(picture.pixel(cell.left() + 1, cell.top() + 2)), kProgressBarColor);
    EXPECT_NE(QColor(picture.pixel(cell.right() - 2, cell.top() + 2)), kProgressBarColor);
    EXPECT_NE(QColor(picture.pixel(waiting.left() + 1, waiting.top() + 2)), kProgressBarColor);

    // The desktop shows the queue's share while converting and nothing after.
    ASSERT_FALSE(desktop->progress.empty());
    EXPECT_NEAR(desktop->progress.back().value_or(-1), 0.21, 1e-9);
    EXPECT_EQ(desktop->awake.back(), true);
    form.RunMenu().StopAll->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !form.Core().RunActive(); }));
    EXPECT_EQ(desktop->progress.back(), std::nullopt);
    EXPECT_EQ(desktop->awake.back(), false);
    EXPECT_EQ(form.RunStatus1->Status().toStdString().find('%'), std::string::npos);
}

// A converter that prints numbers beyond any media shows no progress: nothing that is no number
// reaches the grid, the strip or the desktop (whose launcher entry turns the share into a whole
// percent).
TEST_F(WindowProgressTest, AbsurdNumbersFromAConverter) {
    scratch_.Write("program/cores/ffprobe", "");
    const std::string logs = scratch_.MakeFolder("logs");
    const auto desktop = std::make_shared<DesktopLog>();
    MainFormEnvironment environment;
    environment.makeDesktop = Recording(desktop);
    environment.makeLauncher = [logs](PostToHost post) {
        return std::make_unique<ProgressLauncher>(
            std::move(post), logs, "100.000000", [](const std::string&) {
                return std::string(
                    "frame=1 size=1kB time=1e308:-1e308:00.00 bitrate=1.0kbits/s "
                    "speed=1e308x\r");
            });
    };
    TMainForm1& form = MakeForm(std::move(environment));
    form.FormActivate();
    form.B2Click();
    Pick(*form.MultiComboBox2, kProbe);
    form.BrowserEdit1->SetPath(outFolder_);
    form.Timer0->stop();
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(WaitUntil([&] {
        form.Timer0Timer();
        return form.Core().ElapsedSeconds() >= 4 && !desktop->progress.empty();
    }));
    const std::optional<JobProgress> head = form.Core().ProgressOf(form.Core().Job(0).id);
    ASSERT_TRUE(head);
    EXPECT_FALSE(head->percent);
    EXPECT_FALSE(head->speed);
    EXPECT_FALSE(head->secondsLeft);
    for (const std::optional<double>& share : desktop->progress) {
        EXPECT_TRUE(!share || std::isfinite(*share));
    }
    const std::string strip = form.RunStatus1->Status().toStdString();
    EXPECT_EQ(strip.find("nan"), std::string::npos) << strip;
    form.RunMenu().StopAll->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !form.Core().RunActive(); }));
}

}  // namespace
}  // namespace palomix::testing
