// TMainForm1's queue between starts and the paths that reach it from outside: the question
// about files a previous start left unfinished, the command line and the hand-over from a
// later start.
#include <QWindow>
#include <utility>

#include "app/MainForm1.h"
#include "app/QueueSaver.h"
#include "app/QueueTexts.h"
#include "platform/FileSystem.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix {

SavedQueue TMainForm1::QueueSettings() const {
    SavedQueue settings;
    if (const std::optional<ChosenCommand> command = engine_->CurrentCommand()) {
        settings.settingsFile = command->settingsFile;
        settings.commandItem = command->itemNumber;
    } else {
        settings.settingsFile = engine_->Catalogue().SelectedSettingsPath().value_or("");
    }
    settings.outputFolder = engine_->OutputFolder();
    return settings;
}

void TMainForm1::RestoreQueue() {
    if (!queueSaver_) {
        return;
    }
    const std::string& path = queueSaver_->Path();
    const QueueTexts& texts = QueueTextsFor(TextLanguage());
    const QueueFileRead read = ReadQueueFile(path);
    if (read.state == QueueFileRead::State::Damaged) {
        if (SetAsideQueueFile(path)) {
            Message(FillIn(texts.damagedRemovedFormat, "{reason}", read.problem));
        } else {
            Message(FillIn(FillIn(texts.damagedFormat, "{path}", DamagedQueueFilePath(path)),
                           "{reason}", read.problem));
        }
    } else if (read.state == QueueFileRead::State::Found) {
        const int answer =
            messages_->Ask(this, ContinueQueueQuestion(read.queue.files.size(), texts));
        if (answer == kContinueQueue) {
            ContinueQueue(read.queue);
        } else {
            RemoveFile(path);
        }
    }
    queueSaver_->Start();
}

void TMainForm1::ContinueQueue(const SavedQueue& queue) {
    // The files go on with the settings they were left with.
    SettingsCatalogue& catalogue = engine_->Catalogue();
    bool chosen = false;
    if (catalogue.SelectSettingsFile(queue.settingsFile)) {
        MultiComboBox1->SetItemIndex(catalogue.SelectedSettingsRow());
        MultiComboBox1Change();
        chosen = catalogue.SelectCommandItem(queue.commandItem);
        MultiComboBox2->SetItemIndex(catalogue.SelectedCommandRow());
        ShowSelectorToolTips();
    }
    if (!queue.outputFolder.empty()) {
        BrowserEdit1->SetPath(queue.outputFolder);
    }
    if (!engine_->RunActive()) {
        report_.Reset();  // a new batch
    }
    engine_->AddFiles(queue.files);
    if (chosen) {
        StartRun();
    } else {
        // Not with whatever else is chosen now: the files wait for the user's choice.
        waitingForCommand_ = true;
        Message(
            FillIn(QueueTextsFor(TextLanguage()).settingsGoneFormat, "{path}", queue.settingsFile));
    }
    UpdateRunStatus();
}

void TMainForm1::OpenPaths(std::vector<std::string> paths) {
    if (!opensPaths_) {
        pathsToOpen_.insert(pathsToOpen_.end(), std::make_move_iterator(paths.begin()),
                            std::make_move_iterator(paths.end()));
        return;
    }
    if (!paths.empty()) {
        FormDropFiles(paths);
    }
}

void TMainForm1::BringToFront() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
    if (QWindow* window = windowHandle()) {
        window->requestActivate();
    }
}

}  // namespace palomix
