// What the window tells the user: the end of a batch, the list of failed and skipped files and
// its actions, files that wait for a command, the close question and the close the system asks
// for, tool tips, and a status line that is too long for its place.
#include <gtest/gtest.h>
#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPushButton>

#include "app/FailureWindow.h"
#include "app/RunSettingsMenu.h"
#include "app/RunStatusStrip.h"
#include "tests/app/AppTestSupport.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

using WindowFeedbackTest = WindowTest;

std::string Status(const TMainForm1& form) {
    return form.RunStatus1->Status().toStdString();
}

// A click of the left button in the middle of the widget.
void Click(QWidget& widget) {
    const QPointF at = QRectF(widget.rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&widget, &event);
    }
}

TEST_F(WindowFeedbackTest, FailuresOutliveTheBatchAndConvertAgainRunsThemWithTheCommandChosenNow) {
    TMainForm1& form = Ready(kFail);
    const std::string first = scratch_.Write("in/1.avi", "1");
    const std::string second = scratch_.Write("in/2.avi", "2");
    form.FormDropFiles({first, second});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(Status(form), "失敗 2 件 (クリックで詳細)");

    form.ShowFailures();
    TFailureWindow& list = *form.FailureWindow();
    EXPECT_TRUE(list.ConvertAgainButton().isEnabled());
    EXPECT_EQ(list.ConvertAgainButton().text().toStdString(), "もう一度変換");
    Pick(*form.MultiComboBox2, kProbe);  // the cause is fixed
    list.ConvertAgainButton().click();
    EXPECT_EQ(form.Core().JobCount(), 2);
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/1.probe"));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/2.probe"));
    // A new batch: its own counts, and nothing is left in the list.
    EXPECT_EQ(Status(form), "変換 2 件");
    EXPECT_EQ(list.Contents().toStdString(), "");
    EXPECT_FALSE(list.ConvertAgainButton().isEnabled());
    EXPECT_FALSE(list.ClearButton().isEnabled());
}

TEST_F(WindowFeedbackTest, ChoosingASettingsFileWhoseFirstCommandIsThenChosenStartsWaitingFiles) {
    scratch_.Write("program/convert_settings/e.ini",
                   "[Info]\nTitleE=Two\n[Item0]\nTitleE=Probe it\nCommand0=" + HelperPath("probe") +
                       " \"<%OutputFile%>.probe\"\n[Item1]\nTitleE=Fail\nCommand0=" +
                       HelperPath("exitcode") + " 3\n");
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=0\n");
    form.BrowserEdit1->SetPath(outFolder_);
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_EQ(messages_->texts.size(), 1u);
    form.B2Click();  // a language chosen is no command chosen by the user
    EXPECT_FALSE(form.Core().RunActive());
    EXPECT_EQ(Status(form), "1 file(s) wait: choose a convert command");

    // e.ini: two commands, the first shown as chosen with the file, and so chosen.
    Pick(*form.MultiComboBox1, 4);
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), 0);
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/a.probe"));
    EXPECT_EQ(Status(form), "1 converted");
}

TEST_F(WindowFeedbackTest, SkippedFilesAreListedWithTheirReasonsWhereTheStatusLineLeads) {
    TMainForm1& form = Ready(kProbe);
    form.show();
    ProcessPending();
    form.RunMenu().Existing->actions()[2]->trigger();  // skip a file whose output exists
    scratch_.Write("out/a.probe", "from before");
    const std::string file = scratch_.Write("in/a.avi", "a");
    form.FormDropFiles({file});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(Status(form), "スキップ 1 件 (クリックで詳細)");
    ASSERT_TRUE(form.RunStatus1->Clickable());

    Click(*form.RunStatus1);
    ASSERT_NE(form.FailureWindow(), nullptr);
    EXPECT_TRUE(form.FailureWindow()->isVisible());
    EXPECT_EQ(form.FailureWindow()->Contents().toStdString(),
              "ファイル: " + file + "\n結果: スキップ: 出力ファイルが既にあります: " + outFolder_ +
                  "/a.probe\n");
    EXPECT_FALSE(form.FailureWindow()->ConvertAgainButton().isEnabled());  // skipped on purpose
}

TEST_F(WindowFeedbackTest, TheStatusLinePointsToEarlierFailuresOnlyOnceTheNewBatchIsOver) {
    TMainForm1& form = Ready(kFail);
    form.show();
    ProcessPending();
    form.FormDropFiles({scratch_.Write("in/1.avi", "1")});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    ASSERT_EQ(Status(form), "失敗 1 件 (クリックで詳細)");

    // A new batch converts: its own state, no pointer to the earlier failure.
    Pick(*form.MultiComboBox2, kShort);
    form.FormDropFiles({scratch_.Write("in/2.avi", "2")});
    ASSERT_TRUE(form.Core().RunActive());
    EXPECT_EQ(Status(form).find("クリック"), std::string::npos) << Status(form);
    EXPECT_FALSE(form.RunStatus1->Clickable());
    // Idle again: its counts, and that the earlier failure waits in the list.
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(Status(form), "変換 1 件。以前の失敗が一覧にあります (クリックで詳細)");
    EXPECT_TRUE(form.RunStatus1->Clickable());
    form.B2Click();
    EXPECT_EQ(Status(form), "1 converted; earlier failures wait in the list (click for details)");
}

TEST_F(WindowFeedbackTest, TheCloseQuestionDuringARunAndEachOfItsAnswers) {
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    form.FormDropFiles({scratch_.Write("in/1.avi", "1"), scratch_.Write("in/2.avi", "2")});

    messages_->answers = {2};  // Cancel
    EXPECT_FALSE(form.close());
    ASSERT_EQ(messages_->questions.size(), 1u);
    const Question& question = messages_->questions[0];
    EXPECT_EQ(question.answers,
              (QStringList{"変換を中止して終了", "すべて変換してから終了", "キャンセル"}));
    EXPECT_EQ(question.defaultAnswer, 1);
    EXPECT_EQ(question.escapeAnswer, 2);
    EXPECT_FALSE(form.CloseAfterRun());
    EXPECT_FALSE(std::filesystem::exists(StatePath()));

    messages_->answers = {1};  // quit when the queue is done
    form.close();
    EXPECT_EQ(form.PendingClose(), TMainForm1::CloseMode::WhenDone);
    EXPECT_EQ(Status(form), "変換がすべて終わると終了します (残り 2 件)");
    EXPECT_TRUE(std::filesystem::exists(StatePath()));
    EXPECT_TRUE(form.isVisible());

    messages_->answers = {0};  // changed the mind: stop everything now
    form.close();
    EXPECT_EQ(form.PendingClose(), TMainForm1::CloseMode::AfterStop);
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_FALSE(form.Core().RunActive());
    // The job that was never reached is still in the list when the window goes.
    EXPECT_EQ(form.Core().JobCount(), 1);
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(WindowFeedbackTest, ASystemRequestToEndStopsSavesAndClosesWithoutAsking) {
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    form.FormDropFiles({scratch_.Write("in/1.avi", "1")});
    QDialog open(&form);  // a dialog the user left open
    open.show();
    form.SessionEnding();
    EXPECT_FALSE(open.isVisible());
    EXPECT_TRUE(messages_->questions.empty());
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_NE(ReadText(StatePath()).find("BE1=" + outFolder_), std::string::npos);
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(WindowFeedbackTest, ARequestToEndBeforeTheRestoreLeavesTheStateFileAlone) {
    WriteState("[SET]\nB1=0\nB2=1\nM_LEFT=77\n");
    TMainForm1& form = MakeForm();
    form.SessionEnding();
    ProcessPending();
    EXPECT_EQ(ReadText(StatePath()), "[SET]\nB1=0\nB2=1\nM_LEFT=77\n");
}

TEST_F(WindowFeedbackTest, SelectorsShowTheirWholeTextsAsToolTips) {
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=1\n");
    const std::string settings =
        form.MultiComboBox1->itemData(0, Qt::ToolTipRole).toString().toStdString();
    EXPECT_EQ(settings, "Settings A\nDesc ”A”\n" + programFolder_ + "/convert_settings/a.ini");
    EXPECT_EQ(form.MultiComboBox1->toolTip().toStdString(), settings);
    Pick(*form.MultiComboBox2, kHang);
    EXPECT_EQ(form.MultiComboBox2->toolTip().toStdString(), "Hang");
    EXPECT_EQ(form.MultiComboBox2->itemData(kFail, Qt::ToolTipRole).toString().toStdString(),
              "Fail");
}

TEST_F(WindowFeedbackTest, TheStatusLineShortensTheMiddleOfAPathAndKeepsTheReasonWhole) {
    const std::string program = scratch_.Path("tools/video/converters/not/installed/here/ffmpeg");
    scratch_.Write("program/convert_settings/e.ini",
                   "[Info]\nTitle=E\nTitleE=E\n[Item0]\nTitle=x\nTitleE=x\nCommand0=\"" + program +
                       "\" -i x\n");
    TMainForm1& form = Restored();
    Pick(*form.MultiComboBox1, 4);
    form.BrowserEdit1->SetPath(outFolder_);
    form.show();
    ProcessPending();
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_FALSE(form.Core().RunActive());
    for (const auto& [language, reason] :
         {std::pair{Language::Japanese, std::string("/ffmpeg\" が見つかりません")},
          std::pair{Language::English, std::string("/ffmpeg\" was not found")}}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        const TRunStatusStrip& strip = *form.RunStatus1;
        const std::string whole = strip.toolTip().toStdString();
        const std::string shown = strip.text().toStdString();
        EXPECT_NE(whole.find(program + "\""), std::string::npos) << whole;
        EXPECT_LE(strip.fontMetrics().horizontalAdvance(strip.text()), strip.width()) << shown;
        // What is missing and why is there whole; the path gave way in its middle.
        EXPECT_TRUE(shown.size() > reason.size() &&
                    shown.compare(shown.size() - reason.size(), reason.size(), reason) == 0)
            << shown;
        EXPECT_NE(shown.find("\xE2\x80\xA6"), std::string::npos) << shown;  // …
    }
}

TEST(RunStatusStripTest, ALongStatusKeepsBothEndsOfItsPathAndTellsItAllInTheToolTip) {
    TRunStatusStrip strip;
    QFont font = strip.font();
    font.setPixelSize(12);  // the window's size
    strip.setFont(font);
    strip.resize(380, 25);
    const QString path = QStringLiteral("/home/someone/very/deep/folder/of/converters/run-me");
    const QString text =
        QStringLiteral("Cannot start: the program \"") + path + QStringLiteral("\" was not found");
    strip.SetStatus(text, true, path);
    EXPECT_EQ(strip.toolTip(), text);
    const QString shown = strip.text();
    EXPECT_LE(strip.fontMetrics().horizontalAdvance(shown), strip.width());
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Cannot start: the program \"/")))
        << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("run-me\" was not found"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));

    // Without a path, the end is cut.
    strip.SetStatus(text, false);
    EXPECT_TRUE(strip.text().startsWith(QStringLiteral("Cannot start")));
    EXPECT_TRUE(strip.text().endsWith(QChar(0x2026)));
    strip.SetStatus(QStringLiteral("3 converted"), false);
    EXPECT_EQ(strip.text(), QStringLiteral("3 converted"));

    // The hint comes after the text only when both fit; the tool tip has both.
    const QString counts = QStringLiteral("12 converted, 2 failed, 1 stopped");
    const QString hint = QStringLiteral(" (click for details)");
    strip.resize(strip.fontMetrics().horizontalAdvance(counts + hint) + 4, 25);
    strip.SetStatus(counts, true, {}, hint);
    EXPECT_EQ(strip.text(), counts + hint);
    strip.resize(strip.fontMetrics().horizontalAdvance(counts) + 4, 25);
    strip.SetStatus(counts, true, {}, hint);  // a hidden strip hears of its size at its showing
    EXPECT_EQ(strip.text(), counts);
    EXPECT_EQ(strip.toolTip(), counts + hint);
    EXPECT_EQ(strip.Status(), counts + hint);
}

}  // namespace
}  // namespace palomix::testing
