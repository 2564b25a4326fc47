// The queue kept from one start to the next: written while the list changes, offered at the
// next start with the settings it was left with, discarded on request, set aside when damaged,
// gone once the list runs empty.
#include <gtest/gtest.h>
#include <QAction>
#include <QMenu>
#include <QPushButton>

#include "app/QueueContextMenu.h"
#include "app/QueueSaver.h"
#include "app/QueueTexts.h"
#include "app/RunStatusStrip.h"
#include "settings/QueueFile.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

class QueueKeepTest : public WindowTest {
protected:
    // A window restored as WindowTest's are, whose list is saved without the second's wait.
    TMainForm1& Kept(std::optional<ACommand> command = std::nullopt) {
        TMainForm1& form = command ? Ready(*command) : Restored();
        form.Saver()->SetInterval(std::chrono::milliseconds(10), std::chrono::milliseconds(10));
        return form;
    }

    std::string QueuePath() const { return programFolder_ + "/Palomix.queue"; }
    std::string SettingsA() const { return programFolder_ + "/convert_settings/a.ini"; }

    // A queue of `count` files with the Hang command, as an earlier start left it.
    SavedQueue LeaveQueue(int count) {
        SavedQueue queue{SettingsA(), kHang, outFolder_, {}};
        for (int n = 0; n < count; ++n) {
            queue.files.push_back({scratch_.Write("in/" + std::to_string(n) + ".avi", "v"), {}});
        }
        SaveQueueFile(QueuePath(), queue);
        return queue;
    }

    // What the queue file holds once it has `files` files (the saver writes within a second).
    SavedQueue KeptQueue(std::size_t files) const {
        QueueFileRead read;
        EXPECT_TRUE(WaitUntil([&] {
            read = ReadQueueFile(QueuePath());
            return read.queue.files.size() == files;
        })) << read.problem;
        return read.queue;
    }
};

TEST_F(QueueKeepTest, TheListIsKeptWhileItChangesAndContinuesAtTheNextStartWithItsSettings) {
    const std::string first = scratch_.Write("in/clip one.avi", "1");
    const std::string second = scratch_.Write("in/日本 $x;.avi", "2");
    const std::string inFolder = scratch_.Write("in/D/sub/3.avi", "3");
    TMainForm1& form = Kept(kHang);
    form.show();
    ProcessPending();
    form.FormDropFiles({first, second, scratch_.Path("in/D")});
    SavedQueue kept = KeptQueue(3);
    EXPECT_EQ(kept.settingsFile, SettingsA());
    EXPECT_EQ(kept.commandItem, kHang);
    EXPECT_EQ(kept.outputFolder, outFolder_);
    EXPECT_EQ(kept.files[2], (QueuedFile{inFolder, "sub"}));

    // Stopping everything to quit keeps the list as it was, the file being converted first.
    messages_->answers = {kCloseStopAndQuit};
    form.close();
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_EQ(ReadQueueFile(QueuePath()).queue, kept);

    // The next start asks; the files go on with their own settings, not the last chosen ones.
    form_.reset();
    WriteState("[SET]\nMC1=1\nMC2=0\nBE1=" + scratch_.Path("elsewhere") + "\n");
    messages_->answers = {kContinueQueue};
    TMainForm1& next = Kept();
    ASSERT_EQ(messages_->questions.size(), 2U);
    EXPECT_EQ(messages_->questions[1].text.toStdString(),
              "前回変換が終わらなかった 3 件のファイルの変換を続けますか?");
    EXPECT_EQ(JobPaths(next), (std::vector<std::string>{first, second, inFolder}));
    EXPECT_EQ(next.Core().Job(2).subfolder, "sub");
    EXPECT_EQ(next.MultiComboBox2->ItemIndex(), kHang);
    EXPECT_EQ(next.BrowserEdit1->Path(), outFolder_);
    EXPECT_TRUE(next.Core().IsConverting(next.Core().Job(0).id));
    EXPECT_TRUE(messages_->texts.empty());

    // The list goes on being kept; "Discard" at the start after that empties it for good.
    next.QueueMenu().RemoveAllWaiting();
    EXPECT_EQ(KeptQueue(1).files.front().path, first);
    form_.reset();
    messages_->answers = {kDiscardQueue};
    TMainForm1& third = Restored();
    EXPECT_EQ(messages_->questions.size(), 3U);
    EXPECT_EQ(third.Core().JobCount(), 0);
    EXPECT_FALSE(third.Core().RunActive());
    EXPECT_FALSE(std::filesystem::exists(QueuePath()));
}

TEST_F(QueueKeepTest, TheUnfinishedQueueIsKeptWhenTheQuestionIsClosedWithoutAnAnswer) {
    const SavedQueue left = LeaveQueue(3);
    realBoxes_ = true;
    for (const bool escape : {true, false}) {
        // Escape, or the title bar's close button.
        WhenAModalWindowOpens([escape](QWidget& box) {
            if (escape) {
                Key(box, Qt::Key_Escape);
            } else {
                box.close();
            }
        });
        TMainForm1& form = Kept();
        // The files wait in the list, unconverted, and are kept for the next start.
        EXPECT_EQ(JobPaths(form).size(), 3U);
        EXPECT_FALSE(form.Core().RunActive());
        EXPECT_EQ(form.RunStatus1->Status().toStdString(),
                  "3 件が待機中: 一覧の右クリックメニューから変換を開始できます");
        EXPECT_EQ(KeptQueue(3), left);
        form_.reset();
    }
    // The list's menu starts them.
    WhenAModalWindowOpens([](QWidget& box) { Key(box, Qt::Key_Escape); });
    TMainForm1& form = Kept();
    const std::unique_ptr<QMenu> menu = form.QueueMenu().MakeMenu(0);
    QAction* start = menu->findChild<QAction*>(QStringLiteral("startWaiting"));
    ASSERT_NE(start, nullptr);
    ASSERT_TRUE(start->isEnabled());
    start->trigger();
    EXPECT_TRUE(form.Core().IsConverting(form.Core().Job(0).id));
}

TEST_F(QueueKeepTest, AnEndRequestWhileTheContinueQuestionIsOpenKeepsTheQueue) {
    const SavedQueue left = LeaveQueue(3);
    realBoxes_ = true;
    // Logout or a terminate signal while the question waits for the user.
    WhenAModalWindowOpens([this](QWidget& /*box*/) { form_->SessionEnding(); });
    TMainForm1& form = Kept();
    ProcessPending();
    EXPECT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    EXPECT_FALSE(form.Core().RunActive());
    form_.reset();
    EXPECT_EQ(ReadQueueFile(QueuePath()).queue, left);
}

TEST_F(QueueKeepTest, AQueueOfAHundredThousandFilesComesBackWholeAndCanBeEmptiedAtOnce) {
    SavedQueue queue{SettingsA(), kHang, outFolder_, {}};
    for (int n = 0; n < 100000; ++n) {
        queue.files.push_back({scratch_.Path("in/f" + std::to_string(n) + ".avi"), {}});
    }
    SaveQueueFile(QueuePath(), queue);
    messages_->answers = {kContinueQueue};
    TMainForm1& form = Kept();
    ASSERT_EQ(form.Core().JobCount(), 100000);
    EXPECT_EQ(form.StringGrid2->model()->rowCount(), 100000);
    for (std::int32_t index = 0; index < form.Core().JobCount(); ++index) {
        ASSERT_EQ(form.Core().Job(index).path, queue.files[static_cast<std::size_t>(index)].path);
    }
    EXPECT_EQ(form.QueueMenu().RemoveAllWaiting(), 99999);
    EXPECT_EQ(form.StringGrid2->model()->rowCount(), 1);
    form.Button1->click();
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    // The list ran empty: nothing is left unfinished.
    ASSERT_TRUE(WaitUntil([&] { return !std::filesystem::exists(QueuePath()); }));
}

TEST_F(QueueKeepTest, ADamagedQueueIsSetAsideAndAGoneCommandLetsTheFilesWait) {
    scratch_.Write("program/Palomix.queue", "Palomix queue 1\nsettings=\\x\n");
    WriteState("[SET]\nB1=0\nB2=1\n");
    TMainForm1& form = Restored();
    EXPECT_TRUE(messages_->questions.empty());
    ASSERT_EQ(messages_->texts.size(), 1U);
    EXPECT_EQ(messages_->texts[0].rfind("The list of unfinished files cannot be read; it was set "
                                        "aside as " +
                                            QueuePath() + ".damaged.\nline 2: ",
                                        0),
              0U)
        << messages_->texts[0];
    EXPECT_TRUE(std::filesystem::exists(QueuePath() + ".damaged"));
    EXPECT_EQ(form.Core().JobCount(), 0);

    // A queue whose settings file is gone waits for a choice rather than take another command.
    form_.reset();
    const std::string file = scratch_.Write("in/a.avi", "a");
    SaveQueueFile(QueuePath(), SavedQueue{"/nowhere/gone.ini", 0, outFolder_, {{file, {}}}});
    messages_->texts.clear();
    messages_->answers = {kContinueQueue};
    TMainForm1& next = Kept();
    EXPECT_EQ(JobPaths(next), std::vector<std::string>{file});
    EXPECT_FALSE(next.Core().RunActive());
    ASSERT_EQ(messages_->texts.size(), 1U);
    EXPECT_NE(messages_->texts[0].find("/nowhere/gone.ini"), std::string::npos);
    Pick(*next.MultiComboBox2, kProbe);
    ASSERT_TRUE(WaitUntil([&] { return Idle(next); }));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/a.probe"));
    ASSERT_TRUE(WaitUntil([&] { return !std::filesystem::exists(QueuePath()); }));
}

TEST_F(QueueKeepTest, AQueueThatCannotBeWrittenIsToldOnceAndTheRunGoesOn) {
    MainFormEnvironment environment;
    environment.queueFile = scratch_.Write("a file/not a folder", "x") + "/Palomix.queue";
    TMainForm1& form = MakeForm(std::move(environment));
    form.FormActivate();
    form.Saver()->SetInterval(std::chrono::milliseconds(10), std::chrono::milliseconds(10));
    Pick(*form.MultiComboBox2, kHang);
    form.FormDropFiles({scratch_.Write("in/1.avi", "1")});
    ASSERT_TRUE(WaitUntil([&] { return !messages_->texts.empty(); }));
    EXPECT_EQ(messages_->texts[0].rfind("変換待ちの一覧を次回のために保存できません: ", 0), 0U)
        << messages_->texts[0];
    EXPECT_NE(messages_->texts[0].find("not a folder"), std::string::npos);
    form.FormDropFiles({scratch_.Write("in/2.avi", "2")});
    const std::uint64_t written = form.Saver()->Written();
    ASSERT_TRUE(WaitUntil([&] { return form.Saver()->Written() > written; }));
    ProcessPending();
    EXPECT_EQ(messages_->texts.size(), 1U);
    EXPECT_TRUE(form.Core().RunActive());
}

}  // namespace
}  // namespace palomix::testing
