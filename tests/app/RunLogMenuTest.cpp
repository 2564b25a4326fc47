// The window's run logs: every run leaves one, and the Help menu leads to them in both
// languages: the folder opens, and a report's versions and the newest log's place go to the
// clipboard, which the window says.
#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include "app/RunLogMenu.h"
#include "palomix/BuildInfo.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

using RunLogMenuTest = WindowTest;

TEST_F(RunLogMenuTest, NothingToAttachToABugReport) {
    TMainForm1& form = Ready(kFail);
    const std::string folder = scratch_.Path("state/logs");
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    const std::optional<std::string> newest = NewestRunLog(folder);
    ASSERT_TRUE(newest);
    const std::string log = ReadText(*newest);
    EXPECT_NE(log.find("Program: palomix " + std::string(kVersion)), std::string::npos) << log;
    EXPECT_NE(log.find(scratch_.Path("in/a.avi") + ": failed"), std::string::npos) << log;
    EXPECT_NE(log.find("ended: exit code 3"), std::string::npos) << log;

    // The two items stand in the Help menu before the About box's part.
    RunLogMenu& menu = form.RunLogs();
    const QList<QAction*> help = form.H0->actions();
    ASSERT_TRUE(help.contains(menu.openLogs) && help.contains(menu.report));
    EXPECT_LT(help.indexOf(menu.report), help.indexOf(form.H3));
    form.B2Click();
    EXPECT_EQ(menu.openLogs->text().toStdString(), "Open the run &logs");
    EXPECT_EQ(menu.report->text().toStdString(), "&Report a problem…");

    menu.openLogs->trigger();
    ASSERT_FALSE(opened_.empty());
    EXPECT_EQ(opened_.back(), folder);
    menu.report->trigger();
    const std::string copied = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_NE(copied.find("Palomix " + std::string(kVersion)), std::string::npos) << copied;
    EXPECT_NE(copied.find("Run log: " + *newest), std::string::npos) << copied;
    ASSERT_FALSE(messages_->texts.empty());
    EXPECT_TRUE(messages_->texts.back().starts_with("The versions of Palomix and ffmpeg"));
    EXPECT_TRUE(messages_->texts.back().ends_with(*newest));
    form.B1Click();
    EXPECT_EQ(menu.report->text().toStdString(), "問題を報告(&R)…");
    menu.report->trigger();
    EXPECT_TRUE(messages_->texts.back().starts_with("Palomix と ffmpeg のバージョン"));
}

}  // namespace
}  // namespace palomix::testing
