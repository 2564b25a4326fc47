#include "app/RunSettingsMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "app/QtText.h"

namespace palomix {

namespace {

// The choice of the Simultaneous submenu at `index`: 1 to 4, then one per core (0).
std::int32_t JobsAt(int index) {
    return index < kMostSimultaneousJobs ? index + 1 : 0;
}

int IndexOfJobs(std::int32_t jobs) {
    return jobs == 0 ? kMostSimultaneousJobs : jobs - 1;
}

void Check(const QMenu& menu, int index) {
    const QList<QAction*> actions = menu.actions();
    if (index >= 0 && index < actions.size()) {
        actions[index]->setChecked(true);
    }
}

void Name(const QMenu& menu, std::initializer_list<std::string_view> texts) {
    const QList<QAction*> actions = menu.actions();
    int index = 0;
    for (const std::string_view text : texts) {
        if (index < actions.size()) {
            actions[index++]->setText(Q(text));
        }
    }
}

}  // namespace

void ApplyRunChoices(Engine& engine, const RunChoices& choices) {
    engine.SetSimultaneousJobs(static_cast<std::size_t>(choices.simultaneousJobs));
    switch (choices.existingOutputs) {
        case ExistingOutputChoice::Overwrite:
            engine.SetExistingOutputs(ExistingOutputs::Overwrite);
            break;
        case ExistingOutputChoice::KeepBoth:
            engine.SetExistingOutputs(ExistingOutputs::KeepBoth);
            break;
        case ExistingOutputChoice::Skip:
            engine.SetExistingOutputs(ExistingOutputs::Skip);
            break;
    }
    engine.SetKeepDates(choices.keepDates);
    engine.SetKeepTree(choices.keepTree);
}

RunSettingsMenu::RunSettingsMenu(QMenu& settings) : QObject(&settings) {
    settings.addSeparator();
    Simultaneous = AddChoices(settings, kMostSimultaneousJobs + 1,
                              [this](int index) { choices_.simultaneousJobs = JobsAt(index); });
    for (int jobs = 1; jobs <= kMostSimultaneousJobs; ++jobs) {
        Simultaneous->actions()[jobs - 1]->setText(QString::number(jobs));
    }
    Existing = AddChoices(settings, 3, [this](int index) {
        choices_.existingOutputs = static_cast<ExistingOutputChoice>(index);
    });
    KeepDates = settings.addAction(QString());
    KeepDates->setCheckable(true);
    connect(KeepDates, &QAction::triggered, this, [this](bool on) {
        choices_.keepDates = on;
        Changed();
    });
    KeepTree = settings.addAction(QString());
    KeepTree->setCheckable(true);
    connect(KeepTree, &QAction::triggered, this, [this](bool on) {
        choices_.keepTree = on;
        Changed();
    });
    WhenDone = AddChoices(settings, 5, [this](int index) {
        choices_.whenQueueDone = static_cast<QueueDoneAction>(index);
    });
    settings.addSeparator();
    FinishAfterCurrent = settings.addAction(QString());
    connect(FinishAfterCurrent, &QAction::triggered, this, [this] {
        if (OnFinishAfterCurrent) {
            OnFinishAfterCurrent();
        }
    });
    StopAll = settings.addAction(QString());
    connect(StopAll, &QAction::triggered, this, [this] {
        if (OnStopAll) {
            OnStopAll();
        }
    });
    SetRunActive(false);
    Show(choices_);
}

QMenu* RunSettingsMenu::AddChoices(QMenu& settings, int count,
                                   const std::function<void(int)>& chosen) {
    QMenu* menu = settings.addMenu(QString());
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    for (int index = 0; index < count; ++index) {
        QAction* action = menu->addAction(QString());
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, chosen, index] {
            chosen(index);
            Changed();
        });
    }
    return menu;
}

void RunSettingsMenu::Changed() {
    if (OnChange) {
        OnChange(choices_);
    }
}

void RunSettingsMenu::SetTexts(const RunOptionTexts& texts) {
    Simultaneous->setTitle(Q(texts.menuSimultaneous));
    Simultaneous->actions()[kMostSimultaneousJobs]->setText(Q(texts.simultaneousPerCore));
    Existing->setTitle(Q(texts.menuExisting));
    Name(*Existing, {texts.existingOverwrite, texts.existingKeepBoth, texts.existingSkip});
    KeepDates->setText(Q(texts.menuKeepDates));
    KeepTree->setText(Q(texts.menuKeepTree));
    WhenDone->setTitle(Q(texts.menuWhenDone));
    Name(*WhenDone, {texts.doneNothing, texts.doneSound, texts.doneQuit, texts.doneSuspend,
                     texts.doneShutDown});
    FinishAfterCurrent->setText(Q(texts.menuFinishAfterCurrent));
    StopAll->setText(Q(texts.menuStopAll));
}

void RunSettingsMenu::Show(const RunChoices& choices) {
    choices_ = choices;
    Check(*Simultaneous, IndexOfJobs(choices.simultaneousJobs));
    Check(*Existing, static_cast<int>(choices.existingOutputs));
    KeepDates->setChecked(choices.keepDates);
    KeepTree->setChecked(choices.keepTree);
    Check(*WhenDone, static_cast<int>(choices.whenQueueDone));
}

void RunSettingsMenu::SetRunActive(bool active) {
    FinishAfterCurrent->setEnabled(active);
    StopAll->setEnabled(active);
}

}  // namespace palomix
