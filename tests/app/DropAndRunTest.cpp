// Drops, the batch run with real converter processes (the test helper programs), the Stop
// button, failures and closing the window while a batch runs.
#include <gtest/gtest.h>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QWindow>

#include "app/FailureWindow.h"
#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "support/TemporaryMarks.h"
#include "tests/app/AppTestSupport.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/GradBox.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

class DropAndRunTest : public WindowTest {
protected:
    std::vector<std::string> Row(const TMainForm1& form, int row) const {
        return {form.GridCell(0, row), form.GridCell(1, row), form.GridCell(2, row)};
    }

    // The grid as the view sees it: model rows below the header.
    static int ViewRows(const TMainForm1& form) { return form.StringGrid2->model()->rowCount(); }
};

TEST_F(DropAndRunTest, DropOfFilesAndAFolderConvertsEveryRowUntilTheGridIsEmpty) {
    const std::string file = scratch_.Write("in/a.avi", "a");
    scratch_.Write("in/D/x.avi", "x");
    scratch_.Write("in/D/Sub/y.avi", "y");
    const std::string folder = scratch_.Path("in/D");
    TMainForm1& form = Ready(kProbe);
    EXPECT_EQ(ViewRows(form), 1);
    EXPECT_EQ(Row(form, 1), (std::vector<std::string>{"", "", ""}));

    form.FormDropFiles({file, folder});
    ASSERT_EQ(form.Core().JobCount(), 3);
    EXPECT_EQ(ViewRows(form), 3);
    EXPECT_EQ(Row(form, 1), (std::vector<std::string>{"Converting...(00:00:00)", "a.avi", file}));
    // The folder's own files in name order (letter case ignored), then those of Sub; the
    // subfolder itself is no job.
    EXPECT_EQ(Row(form, 2), (std::vector<std::string>{"Wait...", "x.avi", folder + "/x.avi"}));
    EXPECT_EQ(Row(form, 3), (std::vector<std::string>{"Wait...", "y.avi", folder + "/Sub/y.avi"}));
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_NE(form.RunStatus1->Status().toStdString().find("3"), std::string::npos);

    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(ViewRows(form), 1);
    EXPECT_EQ(Row(form, 1), (std::vector<std::string>{"", "", ""}));
    EXPECT_FALSE(form.Button1->isEnabled());
    for (const char* name : {"a", "x", "y"}) {
        EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/" + name + ".probe")) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(outFolder_ + "/Sub.probe"));
    // The end of the batch stays in view.
    EXPECT_EQ(form.RunStatus1->Status().toStdString(), "変換 3 件");
    EXPECT_FALSE(form.RunStatus1->Clickable());
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(DropAndRunTest, DropOfAnEmptyFolderOrAMissingPathAddsNothingAndSaysWhatWasLeftOut) {
    TMainForm1& form = Ready(kProbe);
    form.FormDropFiles({scratch_.MakeFolder("empty"), scratch_.Path("missing.avi")});
    EXPECT_EQ(form.Core().JobCount(), 0);
    EXPECT_FALSE(form.Core().RunActive());
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_EQ(ViewRows(form), 1);
    // The empty folder had nothing to give; the missing file is named.
    EXPECT_EQ(form.RunStatus1->Status().toStdString(), "追加できず 1 件 (クリックで詳細)");
    form.S2->trigger();
    ASSERT_NE(form.FailureWindow(), nullptr);
    const std::string list = form.FailureWindow()->Contents().toStdString();
    EXPECT_EQ(list, "ファイル: " + scratch_.Path("missing.avi") +
                        "\n結果: 追加できません: 見つかりません\n");
    EXPECT_FALSE(form.FailureWindow()->ConvertAgainButton().isEnabled());
    form.FailureWindow()->ClearButton().click();
    EXPECT_EQ(form.FailureWindow()->Contents().toStdString(), "");
    EXPECT_FALSE(form.RunStatus1->Clickable());
}

TEST_F(DropAndRunTest, DropsAnywhereOverTheWindowReachTheJobList) {
    const std::string file = scratch_.Write("in/clip one.avi", "a");
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    std::vector<QWidget*> targets = {
        form.Label1,       form.Label4,         form.StringGrid2->viewport(),
        form.BrowserEdit1, form.MultiComboBox2, form.GradBox0,
        form.Button1,      form.RunStatus1,     form.StringGrid2->FixedColumn().viewport()};
    int expected = 0;
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->metaObject()->className());
        DragAndDrop(form, *target, {file});
        ++expected;
        ASSERT_TRUE(WaitUntil([&] { return form.Core().JobCount() == expected; }));
    }
    EXPECT_EQ(form.Core().Job(expected - 1).path, file);
    // A folder dropped with a final separator is still taken as the folder.
    scratch_.Write("in/F/z.avi", "z");
    DragAndDrop(form, *form.Label2, {scratch_.Path("in/F") + "/"});
    ASSERT_TRUE(WaitUntil([&] { return form.Core().JobCount() == expected + 1; }));
    EXPECT_EQ(form.Core().Job(expected).path, scratch_.Path("in/F/z.avi"));
}

TEST_F(DropAndRunTest, StopEndsTheRunningConverterAndGoesOnWithTheNextJob) {
    const std::string first = scratch_.Write("in/1.avi", "1");
    const std::string second = scratch_.Write("in/2.avi", "2");
    TMainForm1& form = Ready(kHang);
    form.FormDropFiles({first, second});
    ASSERT_TRUE(form.Button1->isEnabled());
    form.Button1->click();
    // The stopped job has left at once; the button waits for the next job to start.
    EXPECT_EQ(form.Core().JobCount(), 1);
    EXPECT_EQ(form.Core().Job(0).path, second);
    ASSERT_TRUE(WaitUntil([&] { return form.Button1->isEnabled(); }));
    EXPECT_EQ(form.GridCell(0, 1), "Converting...(00:00:00)");
    ASSERT_EQ(form.Report().FailedJobs().size(), 1u);
    EXPECT_EQ(form.Report().FailedJobs()[0].path, first);
    EXPECT_EQ(form.Report().FailedJobs()[0].outcome, JobOutcome::Stopped);
    EXPECT_EQ(form.Report().FailedJobs()[0].commands.back().commandLine, HelperPath("sleep"));
    EXPECT_EQ(form.RunStatus1->Status().toStdString(),
              "変換中: 残り 1 件  中止 1 件 (クリックで詳細)");

    form.Button1Click();
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_EQ(ViewRows(form), 1);
    EXPECT_EQ(form.Report().FailureCount(), 2);
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(DropAndRunTest, TimerTicksShowTheElapsedTimeOfTheHeadJob) {
    TMainForm1& form = Ready(kHang);
    form.Timer0Timer();  // idle: nothing happens
    EXPECT_EQ(form.GridCell(0, 1), "");
    form.FormDropFiles({scratch_.Write("in/1.avi", "1")});
    form.Timer0Timer();
    form.Timer0Timer();
    EXPECT_EQ(form.GridCell(0, 1), "Converting...(00:00:02)");
    EXPECT_EQ(form.StringGrid2->model()->index(0, 0).data().toString().toStdString(),
              "Converting...(00:00:02)");
    // A language switch during the run rewrites the header and leaves the status cell alone.
    form.B2Click();
    EXPECT_EQ(form.GridCell(0, 0), "Status (Time)");
    EXPECT_EQ(form.GridCell(0, 1), "Converting...(00:00:02)");
    // The real timer ticks as well.
    ASSERT_TRUE(WaitUntil([&] { return form.GridCell(0, 1) == "Converting...(00:00:03)"; },
                          std::chrono::seconds(5)));
}

TEST_F(DropAndRunTest, FailedConvertersAreCountedAndListed) {
    TMainForm1& form = Ready(kFail);
    const std::string file = scratch_.Write("in/bad.avi", "b");
    form.FormDropFiles({file});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(form.RunStatus1->Status().toStdString(), "失敗 1 件 (クリックで詳細)");
    EXPECT_TRUE(form.RunStatus1->Clickable());
    form.B2Click();
    EXPECT_EQ(form.RunStatus1->Status().toStdString(), "1 failed (click for details)");

    form.ShowFailures();
    ASSERT_NE(form.FailureWindow(), nullptr);
    EXPECT_TRUE(form.FailureWindow()->isVisible());
    const std::string list = form.FailureWindow()->Contents().toStdString();
    EXPECT_NE(list.find("File: " + file), std::string::npos) << list;
    EXPECT_NE(list.find("Command line: " + HelperPath("exitcode") + " 3"), std::string::npos)
        << list;
    EXPECT_NE(list.find("Result: exit code 3"), std::string::npos) << list;
    EXPECT_NE(list.find("(no output)"), std::string::npos) << list;
    form.FailureWindow()->close();

    // A new batch counts afresh; the failure list keeps its entry until it is cleared.
    Pick(*form.MultiComboBox2, kProbe);
    form.FormDropFiles({file});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(form.RunStatus1->Status().toStdString(),
              "1 converted; earlier failures wait in the list (click for details)");
    EXPECT_EQ(form.Report().FailureCount(), 1);
    form.ClearFailuresClick();
    EXPECT_EQ(form.RunStatus1->Status().toStdString(), "1 converted");
    EXPECT_FALSE(form.RunStatus1->Clickable());
}

TEST_F(DropAndRunTest, ALaunchFailureStopsTheRunAndShowsWhy) {
    TMainForm1& form = Ready(kMissing);
    const std::string file = scratch_.Write("in/a.avi", "a");
    form.FormDropFiles({file, file});
    EXPECT_FALSE(form.Core().RunActive());
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_EQ(form.Core().JobCount(), 2);
    EXPECT_EQ(form.GridCell(0, 1), "起動できません: palomix-converter");
    const std::string status = form.RunStatus1->Status().toStdString();
    EXPECT_NE(status.find("起動できません"), std::string::npos) << status;
    EXPECT_NE(status.find("/nonexistent/palomix-converter"), std::string::npos) << status;
    form.ShowFailures();
    const std::string list = form.FailureWindow()->Contents().toStdString();
    EXPECT_NE(list.find("/nonexistent/palomix-converter x"), std::string::npos) << list;

    // With a command that runs, the next drop starts again with the same head job.
    Pick(*form.MultiComboBox2, kProbe);
    form.FormDropFiles({});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
}

TEST_F(DropAndRunTest, ADropWithNoCommandChosenQueuesTheFilesAndAsksForOne) {
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=0\n");
    form.BrowserEdit1->SetPath(outFolder_);
    const std::string file = scratch_.Write("in/a.avi", "a");
    form.FormDropFiles({file});
    ASSERT_EQ(messages_->texts.size(), 1u);
    EXPECT_NE(messages_->texts[0].find("設定ファイルと変換コマンドを選択してください"),
              std::string::npos);
    EXPECT_EQ(form.Core().JobCount(), 1);
    EXPECT_EQ(form.GridCell(0, 1), "Wait...");
    EXPECT_FALSE(form.Core().RunActive());

    form.B2Click();  // loads the catalogue; choosing a language is not choosing a command
    EXPECT_FALSE(form.Core().RunActive());
    Pick(*form.MultiComboBox2, kProbe);
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/a.probe"));

    form.B2Click();
    std::filesystem::remove_all(programFolder_ + "/convert_settings");
    Pick(*form.MultiComboBox1, 1);  // the settings file is gone: no command
    form.FormDropFiles({file});
    ASSERT_EQ(messages_->texts.size(), 2u);
    EXPECT_NE(messages_->texts[1].find("Choose a configuration file"), std::string::npos);
}

TEST_F(DropAndRunTest, ClosingDuringARunSavesAtOnceAndClosesWhenTheRunHasEnded) {
    TMainForm1& form = Ready(kShort);
    form.show();
    ProcessPending();
    form.FormDropFiles({scratch_.Write("in/1.avi", "1"), scratch_.Write("in/2.avi", "2")});
    ASSERT_TRUE(form.Core().RunActive());

    EXPECT_FALSE(form.close());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.CloseAfterRun());
    EXPECT_NE(ReadText(StatePath()).find("BE1=" + outFolder_), std::string::npos);

    // The window stays usable; a second close saves again.
    form.BrowserEdit1->SetPath(outFolder_ + "2");
    form.close();
    EXPECT_NE(ReadText(StatePath()).find("BE1=" + outFolder_ + "2"), std::string::npos);
    EXPECT_TRUE(form.isVisible());
    // The second job still runs, then the window closes without saving once more.
    std::filesystem::remove(StatePath());
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_EQ(form.Core().JobCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(StatePath()));
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(DropAndRunTest, TheWindowsStopAndCloseLeaveNoTemporaryFile) {
    const auto temporaries = [&] {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(outFolder_, error)) {
            names.push_back(MaskTemporaryMarks(entry.path().filename().string()));
        }
        return names;
    };
    TMainForm1& form = Ready(kWriteHang);
    form.show();
    form.FormDropFiles({scratch_.Write("in/1.avi", "1"), scratch_.Write("in/2.avi", "2")});
    ASSERT_TRUE(WaitUntil([&] { return form.Button1->isEnabled(); }));
    EXPECT_EQ(temporaries(), std::vector<std::string>{".palomix-XXXXXX-1.part"});
    form.Button1->click();
    ASSERT_TRUE(WaitUntil(
        [&] { return temporaries() == std::vector<std::string>{".palomix-XXXXXX-2.part"}; }));
    form.SessionEnding();
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

TEST_F(DropAndRunTest, ClosingWhenIdleClosesAtOnce) {
    TMainForm1& form = Ready(kProbe);
    form.show();
    ProcessPending();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(std::filesystem::exists(StatePath()));
}

}  // namespace
}  // namespace palomix::testing
