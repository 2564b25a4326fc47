// The run choices of the Settings menu, added below its own items: how many conversions run
// at once, what happens to an output file that exists, whether outputs keep their sources'
// dates and folder trees, and what follows when the queue is done; then the two stops, "Stop
// after the current file" and "Stop all", enabled while a run is active. Choices take effect
// at once and are kept in the state file (RunChoices).
#pragma once

#include <QObject>
#include <functional>

#include "app/RunOptionTexts.h"
#include "engine/Engine.h"
#include "settings/StateFile.h"

class QAction;
class QActionGroup;
class QMenu;

namespace palomix {

// Hands the choices that shape a run to the core.
void ApplyRunChoices(Engine& engine, const RunChoices& choices);

class RunSettingsMenu final : public QObject {
    Q_OBJECT

public:
    // Adds the items to the end of `settings`.
    explicit RunSettingsMenu(QMenu& settings);

    void SetTexts(const RunOptionTexts& texts);
    // Puts the check marks where the choices are.
    void Show(const RunChoices& choices);
    const RunChoices& Choices() const { return choices_; }
    void SetRunActive(bool active);

    // The user changed a choice; the new choices.
    std::function<void(const RunChoices&)> OnChange;
    std::function<void()> OnFinishAfterCurrent;
    std::function<void()> OnStopAll;

    // The items, in menu order. The submenus hold their choices in the order of their
    // values: 1, 2, 3, 4 and one per core; overwrite, keep both, skip; nothing, sound, quit,
    // suspend, shut down.
    QMenu* Simultaneous = nullptr;
    QMenu* Existing = nullptr;
    QAction* KeepDates = nullptr;
    QAction* KeepTree = nullptr;
    QMenu* WhenDone = nullptr;
    QAction* FinishAfterCurrent = nullptr;
    QAction* StopAll = nullptr;

private:
    QMenu* AddChoices(QMenu& settings, int count, const std::function<void(int)>& chosen);
    void Changed();

    RunChoices choices_;
};

}  // namespace palomix
