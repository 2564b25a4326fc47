// The run choices of the Settings menu: read from Palomix.ini, handed to the core, saved again;
// the two stops; and what follows the end of a run (the notice and the user's choice).
#include <gtest/gtest.h>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <thread>

#include "app/Captions.h"
#include "app/QueueEndAction.h"
#include "app/RunOptionTexts.h"
#include "app/RunSettingsMenu.h"
#include "settings/IniFile.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

class RunChoicesTest : public WindowTest {
protected:
    // A window restored with the command of a.ini, the output folder, and its desktop recorded.
    TMainForm1& ReadyRecorded(ACommand command, int countdownSeconds = 60) {
        MainFormEnvironment environment;
        environment.makeDesktop = Recording(desktop_);
        environment.powerCountdownSeconds = countdownSeconds;
        TMainForm1& form = MakeForm(std::move(environment));
        form.FormActivate();
        Pick(*form.MultiComboBox2, command);
        form.BrowserEdit1->SetPath(outFolder_);
        return form;
    }

    static int Checked(const QMenu& menu) {
        const QList<QAction*> actions = menu.actions();
        return static_cast<int>(std::count_if(actions.begin(), actions.end(),
                                              [](const QAction* a) { return a->isChecked(); }));
    }

    std::shared_ptr<DesktopLog> desktop_ = std::make_shared<DesktopLog>();
};

TEST_F(RunChoicesTest, ChoicesComeFromTheStateFileReachTheCoreAndAreSavedAgain) {
    TMainForm1& form =
        Restored("[SET]\nJOBS=0\nEXISTING=keep\nKEEP_DATES=1\nKEEP_TREE=1\nWHEN_DONE=sound\n");
    const Engine& core = form.Core();
    RunSettingsMenu& menu = form.RunMenu();
    EXPECT_EQ(core.SimultaneousJobs(), std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(core.ExistingOutputsChoice(), ExistingOutputs::KeepBoth);
    EXPECT_TRUE(core.KeepDates());
    EXPECT_TRUE(core.KeepTree());
    EXPECT_TRUE(menu.Simultaneous->actions().back()->isChecked());
    EXPECT_TRUE(menu.Existing->actions()[1]->isChecked());
    EXPECT_TRUE(menu.KeepDates->isChecked());
    EXPECT_TRUE(menu.WhenDone->actions()[1]->isChecked());

    menu.Simultaneous->actions()[1]->trigger();
    menu.Existing->actions()[2]->trigger();
    menu.KeepDates->trigger();
    EXPECT_EQ(core.SimultaneousJobs(), 2u);
    EXPECT_EQ(core.ExistingOutputsChoice(), ExistingOutputs::Skip);
    EXPECT_FALSE(core.KeepDates());
    for (const QMenu* submenu : {menu.Simultaneous, menu.Existing, menu.WhenDone}) {
        EXPECT_EQ(Checked(*submenu), 1) << submenu->title().toStdString();
    }

    ASSERT_TRUE(form.FormClose());
    IniReader reader;
    const auto key = [&](std::string_view name) {
        return reader.ReadString(StatePath(), "SET", name, "<absent>");
    };
    EXPECT_EQ(key("JOBS"), "2");
    EXPECT_EQ(key("EXISTING"), "skip");
    EXPECT_EQ(key("KEEP_DATES"), "0");
    EXPECT_EQ(key("KEEP_TREE"), "1");
    EXPECT_EQ(key("WHEN_DONE"), "sound");
}

// The menu keeps its own two items first, and the choices follow the language.
TEST_F(RunChoicesTest, TheSettingsMenuKeepsItsItemsAndTheChoicesFollowTheLanguage) {
    TMainForm1& form = Restored();
    ASSERT_GE(form.S0->actions().size(), 2);
    EXPECT_EQ(form.S0->actions()[0], form.S1);
    EXPECT_EQ(form.S0->actions()[1], form.S2);
    const auto title = [&] { return form.RunMenu().WhenDone->title().toStdString(); };
    EXPECT_EQ(title(), RunOptionTextsFor(Language::Japanese).menuWhenDone);
    form.B2Click();
    EXPECT_EQ(title(), RunOptionTextsFor(Language::English).menuWhenDone);
}

TEST_F(RunChoicesTest, TheStopsEndTheRunAndLeaveTheWaitingFiles) {
    const std::vector<std::string> files = {scratch_.Write("in/1.avi", "1"),
                                            scratch_.Write("in/2.avi", "2"),
                                            scratch_.Write("in/3.avi", "3")};
    TMainForm1& form = ReadyRecorded(kHang);
    RunSettingsMenu& menu = form.RunMenu();
    EXPECT_FALSE(menu.StopAll->isEnabled());
    form.FormDropFiles(files);
    EXPECT_TRUE(menu.StopAll->isEnabled());
    EXPECT_TRUE(menu.FinishAfterCurrent->isEnabled());

    // The converting file goes on; when it ends (stopped here), the run ends.
    menu.FinishAfterCurrent->trigger();
    EXPECT_TRUE(form.Core().RunActive());
    form.Button1Click();
    ASSERT_TRUE(WaitUntil([&] { return !form.Core().RunActive(); }));
    EXPECT_EQ(form.Core().JobCount(), 2);
    EXPECT_FALSE(menu.StopAll->isEnabled());

    form.FormDropFiles({scratch_.Write("in/4.avi", "4")});
    ASSERT_TRUE(form.Core().RunActive());
    menu.StopAll->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !form.Core().RunActive(); }));
    EXPECT_EQ(form.Core().JobCount(), 2);
    // Each end is told; neither is a queue that is done.
    const RunOptionTexts& texts = RunOptionTextsFor(Language::Japanese);
    ASSERT_EQ(desktop_->notices.size(), 2u);
    EXPECT_EQ(desktop_->notices[0].first, texts.noticeStopped);
    EXPECT_EQ(desktop_->notices[1].first, texts.noticeStopped);
    EXPECT_EQ(desktop_->notices[1].second,
              BatchCountWords(form.Report().Tally(), form.Report().NotAddedCount(),
                              RunTextsFor(Language::Japanese)));
    EXPECT_EQ(desktop_->awake, (std::vector<bool>{false, true, false, true, false}));
    EXPECT_TRUE(messages_->texts.empty());
}

// A click of the left button on an item of a menu that is open.
void ClickItem(QMenu& menu, QAction* item) {
    const QPoint at = menu.actionGeometry(item).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, menu.mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&menu, &event);
    }
}

TEST_F(RunChoicesTest, RaisingSimultaneousConversionsDuringARunStartsASecondFileAtOnce) {
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    form.FormDropFiles({scratch_.Write("in/1.avi", "1"), scratch_.Write("in/2.avi", "2"),
                        scratch_.Write("in/3.avi", "3")});
    const Engine& core = form.Core();
    ASSERT_TRUE(core.IsConverting(core.Job(0).id));
    ASSERT_FALSE(core.IsConverting(core.Job(1).id));

    // Settings, Simultaneous conversions, 2: with the mouse, through the menu bar.
    QMenuBar& bar = *form.menuBar();
    const QPoint settings = bar.actionGeometry(form.S0->menuAction()).center();
    QMouseEvent press(QEvent::MouseButtonPress, settings, bar.mapToGlobal(settings), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&bar, &press);
    ASSERT_TRUE(WaitUntil([&] { return form.S0->isVisible(); }));
    QMenu& simultaneous = *form.RunMenu().Simultaneous;
    ClickItem(*form.S0, simultaneous.menuAction());
    ASSERT_TRUE(WaitUntil([&] { return simultaneous.isVisible(); }));
    ClickItem(simultaneous, simultaneous.actions()[1]);
    EXPECT_TRUE(simultaneous.actions()[1]->isChecked());
    EXPECT_TRUE(WaitUntil([&] { return core.IsConverting(core.Job(1).id); },
                          std::chrono::milliseconds(500)));
    EXPECT_TRUE(core.IsConverting(core.Job(0).id));
    EXPECT_FALSE(core.IsConverting(core.Job(2).id));
    EXPECT_EQ(form.GridCell(0, 2).rfind("Converting", 0), 0U) << form.GridCell(0, 2);
}

TEST_F(RunChoicesTest, SuspendFollowsAQueueDoneAfterTheCountdownAndARefusalIsTold) {
    desktop_->refusal = "refused by the test";
    TMainForm1& form = ReadyRecorded(kProbe, 1);
    form.RunMenu().WhenDone->actions()[3]->trigger();
    // A drop that adds no file converts nothing: nothing is told, nothing follows.
    form.FormDropFiles({scratch_.Path("missing.avi")});
    ProcessPending();
    EXPECT_EQ(form.QueueEnd().Countdown(), nullptr);
    EXPECT_TRUE(desktop_->notices.empty());

    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    TPowerCountdown* countdown = form.QueueEnd().Countdown();
    ASSERT_NE(countdown, nullptr);
    EXPECT_TRUE(countdown->isVisible());
    EXPECT_NE(countdown->Text().toStdString().find('1'), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return !desktop_->power.empty(); }));
    EXPECT_EQ(desktop_->power, std::vector<PowerAction>{PowerAction::Suspend});
    ASSERT_EQ(messages_->texts.size(), 1u);
    EXPECT_EQ(messages_->texts[0], FillIn(RunOptionTextsFor(Language::Japanese).suspendFailedFormat,
                                          "{reason}", "refused by the test"));
    EXPECT_EQ(desktop_->notices.at(0).first, RunOptionTextsFor(Language::Japanese).noticeDone);
}

TEST_F(RunChoicesTest, CancelOrANewRunCallsTheCountdownOff) {
    TMainForm1& form = ReadyRecorded(kProbe);
    form.RunMenu().WhenDone->actions()[4]->trigger();
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(WaitUntil([&] { return form.QueueEnd().Countdown() != nullptr; }));
    form.QueueEnd().Countdown()->CancelButton().click();
    ASSERT_TRUE(WaitUntil([&] { return form.QueueEnd().Countdown() == nullptr; }));

    form.FormDropFiles({scratch_.Write("in/b.avi", "b")});
    ASSERT_TRUE(WaitUntil([&] { return form.QueueEnd().Countdown() != nullptr; }));
    const QPointer<TPowerCountdown> second = form.QueueEnd().Countdown();
    form.FormDropFiles({scratch_.Write("in/c.avi", "c")});
    EXPECT_TRUE(WaitUntil([&] { return second.isNull(); }));
    // That run's end has a countdown of its own.
    ASSERT_TRUE(WaitUntil([&] { return Idle(form) && form.QueueEnd().Countdown() != nullptr; }));
    form.QueueEnd().Countdown()->CancelButton().click();
    EXPECT_TRUE(desktop_->power.empty());
}

TEST_F(RunChoicesTest, QuitClosesTheWindowOnceTheQueueIsDoneAndKeepsTheChoices) {
    TMainForm1& form = ReadyRecorded(kProbe);
    form.show();
    form.RunMenu().WhenDone->actions()[2]->trigger();
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(WaitUntil([&] { return !form.isVisible(); }));
    IniReader reader;
    EXPECT_EQ(reader.ReadString(StatePath(), "SET", "WHEN_DONE", ""), "quit");
}

}  // namespace
}  // namespace palomix::testing
