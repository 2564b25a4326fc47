// Watched folders in the window: the dialog of File → "Watch a folder…", the files a watch finds
// converting as a drop does with the watch's own command, the list of File → "Watched
// folders…" with its buttons, and the watches kept for the next start. The window's own events
// (QFileSystemWatcher) tell the core; times are short.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include "app/WatchDialog.h"
#include "app/WatchListWindow.h"
#include "app/WatchedFolders.h"
#include "settings/KeptWatches.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

using namespace std::chrono_literals;

class WatchedFoldersTest : public WindowTest {
protected:
    TMainForm1& Watching() {
        MainFormEnvironment environment;
        WatchTiming timing;
        timing.settle = 300ms;
        timing.poll = 50ms;
        timing.lookAgain = 300ms;
        environment.watchTiming = timing;
        TMainForm1& form = MakeForm(std::move(environment));
        form.FormActivate();
        return form;
    }
    std::string a_ = programFolder_ + "/convert_settings/a.ini";
    std::string in_ = scratch_.MakeFolder("in");
};

TEST_F(WatchedFoldersTest, AFolderWatchedFromTheDialogConvertsWhatArrivesAndOutlivesARestart) {
    TMainForm1& form = Watching();
    form.B2Click();
    EXPECT_EQ(form.Watched().W1->text().remove('&').toStdString(), "Watch a folder…");
    EXPECT_EQ(form.Watched().W2->text().remove('&').toStdString(), "Watched folders…");
    form.Watched().AskForWatch();
    TWatchDialog* dialog = form.Watched().Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->SubfoldersBox().text().toStdString(), "subfolders count");
    // Nothing to watch yet: said, and the dialog stays.
    dialog->WatchButton().click();
    ASSERT_EQ(messages_->texts.size(), 1u);
    EXPECT_EQ(messages_->texts.back(), "Choose a folder to watch.");
    dialog->FolderEdit().SetPath(in_);
    dialog->OutputEdit().SetPath(outFolder_);
    dialog->CommandBox().setCurrentIndex(kShort);  // the window's own command stays "Probe"
    dialog->WatchButton().click();
    ASSERT_EQ(form.Core().Watches().size(), 1u);
    EXPECT_EQ(form.Core().Watches()[0].settings.command, (ChosenCommand{a_, kShort}));

    scratch_.Write("in/clip.mov", "c");
    ASSERT_TRUE(WaitUntil([&] { return form.Core().RunActive(); }));
    EXPECT_EQ(form.GridCell(2, 1), in_ + "/clip.mov");
    ASSERT_TRUE(WaitUntil([&] { return form.Core().Watches()[0].converted == 1; }));

    form.Watched().ShowList();
    TWatchListWindow& list = *form.Watched().List();
    EXPECT_EQ(list.Table().item(0, 3)->text().toStdString(), "Watching");
    list.PauseButton().click();
    EXPECT_EQ(form.Core().Watches()[0].state, WatchState::Paused);
    IniReader reader;
    ASSERT_EQ(ReadKeptWatches(reader, StatePath()).size(), 1u);
    EXPECT_TRUE(ReadKeptWatches(reader, StatePath())[0].paused);

    // The next start watches it again, paused, and converts nothing twice once resumed.
    form_.reset();
    TMainForm1& again = Watching();
    ASSERT_EQ(again.Core().Watches().size(), 1u);
    EXPECT_EQ(again.Core().Watches()[0].state, WatchState::Paused);
    again.Watched().ShowList();
    again.Watched().List()->ResumeButton().click();
    EXPECT_EQ(again.Core().Watches()[0].state, WatchState::Watching);
    EXPECT_FALSE(WaitUntil([&] { return again.Core().JobCount() > 0; }, 1s));
}

TEST_F(WatchedFoldersTest, TheListShowsAFailedFileWithWhyAndAFolderThatWent) {
    TMainForm1& form = Watching();
    form.B2Click();
    form.Watched().Add(WatchSettings{in_, {a_, kFail}, outFolder_, false, false});
    scratch_.Write("in/bad.mov", "b");
    ASSERT_TRUE(WaitUntil([&] { return form.Core().Watches()[0].failures.size() == 1; }));
    form.Watched().ShowList();
    TWatchListWindow& list = *form.Watched().List();
    EXPECT_EQ(list.Table().item(0, 5)->text().toStdString(), "1");
    ASSERT_EQ(list.Failures().count(), 1);
    const std::string failure = list.Failures().item(0)->text().toStdString();
    EXPECT_NE(failure.find(in_ + "/bad.mov — "), std::string::npos) << failure;
    EXPECT_NE(failure.find('3'), std::string::npos) << failure;
    // Tried again: it runs (and fails) once more.
    list.RetryButton().click();
    EXPECT_EQ(form.Core().JobCount(), 1);
    ASSERT_TRUE(WaitUntil([&] { return form.Core().Watches()[0].failures.size() == 1; }));

    std::filesystem::remove_all(in_);
    ASSERT_TRUE(
        WaitUntil([&] { return form.Core().Watches()[0].state == WatchState::FolderMissing; }));
    EXPECT_NE(list.Table().item(0, 3)->text().toStdString().find("Waiting for the folder"),
              std::string::npos);
}

}  // namespace
}  // namespace palomix::testing
