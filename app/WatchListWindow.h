// The window of File → "Watched folders…": every watch with its command, output folder, state
// (watching, paused, or waiting for its folder and why) and counts; Pause, Resume and Remove for
// the selected watch; below, the selected watch's files that did not convert with why, and Retry
// for the selected ones (all of them when none is selected). It stays open beside the main
// window and follows the core's facts while it is shown.
#pragma once

#include <QDialog>
#include <vector>

#include "app/WatchTexts.h"
#include "engine/Engine.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace palomix {

class TWatchListWindow final : public QDialog, private EngineObserver {
    Q_OBJECT

public:
    TWatchListWindow(Engine& engine, Language language, QWidget* parent = nullptr);
    ~TWatchListWindow() override;

    void SetLanguage(Language language);
    // Shows the core's watches as they are now, keeping the selection.
    void Refresh();
    void SelectRow(int row);

    QTableWidget& Table() const { return *table_; }
    QListWidget& Failures() const { return *failures_; }
    QPushButton& PauseButton() const { return *pause_; }
    QPushButton& ResumeButton() const { return *resume_; }
    QPushButton& RemoveButton() const { return *remove_; }
    QPushButton& RetryButton() const { return *retry_; }
    QLabel& Notice() const { return *notice_; }

    // A watch was paused, resumed or removed here: what is kept changes.
    std::function<void()> OnChanged;

private:
    void WatchChanged(WatchId id) override;
    void ShowSelected();
    void Act(bool (Engine::*verb)(WatchId));
    void Retry();
    const WatchView* Selected() const;

    Engine& engine_;
    Language language_;
    std::vector<WatchView> views_;
    QTableWidget* table_;
    QLabel* notice_;
    QLabel* failuresLabel_;
    QListWidget* failures_;
    QPushButton* pause_;
    QPushButton* resume_;
    QPushButton* remove_;
    QPushButton* retry_;
    QPushButton* close_;
};

}  // namespace palomix
