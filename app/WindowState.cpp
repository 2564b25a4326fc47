#include "app/WindowState.h"

#include <QAction>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/Captions.h"
#include "app/CommandPicker.h"
#include "app/FileMenu.h"
#include "app/QtText.h"
#include "app/QueueSaver.h"
#include "app/QueueTexts.h"
#include "app/RunPresenter.h"
#include "app/RunSettingsMenu.h"
#include "app/WindowLayout.h"
#include "app/WindowPlacement.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "settings/IniFile.h"
#include "settings/StateFile.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix {

namespace {

QList<QRect> ScreenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(screen->availableGeometry());
    }
    return areas;
}

// A window on screen is placed by its frame, which the window manager adds around it; one
// that is not shown yet takes the position as its frame's too.
void MoveFrameTo(QMainWindow& window, QPoint position) {
    if (QWindow* handle = window.windowHandle(); handle != nullptr && window.isVisible()) {
        handle->setFramePosition(position);
    } else {
        window.move(position);
    }
}

}  // namespace

WindowState::WindowState(Parts parts)
    : window_(parts.window),
      controls_(parts.controls),
      engine_(parts.engine),
      picker_(parts.picker),
      presenter_(parts.presenter),
      runMenu_(parts.runMenu),
      fileMenu_(parts.fileMenu),
      messages_(std::move(parts.messages)),
      places_(parts.places),
      systemLocale_(std::move(parts.systemLocale)),
      setLanguage_(std::move(parts.setLanguage)),
      noLanguage_(std::move(parts.noLanguage)) {
    if (!parts.queueFile.empty()) {
        saver_ = std::make_unique<QueueSaver>(engine_, std::move(parts.queueFile),
                                              [this] { return QueueSettings(); });
        saver_->OnWriteFailed = [this](const std::string& reason) {
            Message(
                FillIn(QueueTextsFor(TextLanguageOf(controls_)).notKeptFormat, "{reason}", reason));
        };
    }
}

WindowState::~WindowState() = default;

bool WindowState::Restore() {
    if (restored_) {
        return false;
    }
    // Set first: an activation while the steps below run (a message box closing) does nothing.
    restored_ = true;
    IniReader reader;
    const StoredState stored = ReadApplicationState(reader, StateFile());

    // The saved place is the frame's; a place on no screen now gives the layout place.
    const QPoint saved(stored.left.value_or(window_.x()), stored.top.value_or(window_.y()));
    MoveFrameTo(window_, RestoredFramePosition(saved, window_.frameGeometry().size(), ScreenAreas(),
                                               QPoint(kInitialLeft, kInitialTop)));
    RestoreLanguage(stored.japanese, stored.english);
    picker_.Restore(stored.settingsRow, stored.commandRow);

    std::string folder = stored.outputFolder.value_or(controls_.BrowserEdit1->Path());
    if (folder.empty()) {
        folder = places_.defaultOutputFolder;
    }
    controls_.BrowserEdit1->SetPath(folder);
    runMenu_.Show(stored.run);
    ApplyRunChoices(engine_, stored.run);
    presenter_.Refresh();

    fileMenu_.Restore();
    RestoreQueue();
    return true;
}

std::optional<Language> WindowState::StartLanguage() const {
    IniReader reader;
    return LanguageAtStart(ReadApplicationState(reader, StateFile()), systemLocale_);
}

void WindowState::RestoreLanguage(std::optional<bool> japanese, std::optional<bool> english) {
    const bool isJapanese = japanese.value_or(controls_.B1->isChecked());
    controls_.B1->setChecked(isJapanese);
    if (isJapanese) {
        setLanguage_(Language::Japanese);
    }
    const bool isEnglish = english.value_or(controls_.B2->isChecked());
    controls_.B2->setChecked(isEnglish);
    if (isEnglish) {
        setLanguage_(Language::English);
    }
    if (!isJapanese && !isEnglish) {
        noLanguage_();
    }
}

bool WindowState::Save(bool quiet) {
    if (!restored_) {
        return true;  // nothing of this window's own to keep yet
    }
    ApplicationState state;
    // The frame's place: the window manager puts the frame there at the next start.
    state.left = window_.frameGeometry().x();
    state.top = window_.frameGeometry().y();
    state.japanese = controls_.B1->isChecked();
    state.english = controls_.B2->isChecked();
    state.settingsRow = controls_.MultiComboBox1->ItemIndex();
    state.commandRow = controls_.MultiComboBox2->ItemIndex();
    state.outputFolder = controls_.BrowserEdit1->Path();
    state.run = runMenu_.Choices();
    const auto tell = [this, quiet](const std::string& text) {
        if (quiet) {
            std::fprintf(stderr, "%s\n", text.c_str());
        } else {
            Message(text);
        }
    };
    const RunTexts& texts = RunTextsFor(TextLanguageOf(controls_));
    try {
        // The user's folder of an installed copy may not be there yet.
        CreateFolderTree(FolderOf(StateFile()));
        if (SaveApplicationState(StateFile(), state).outputFolderTooLong) {
            // Saved, but it would come back cut: the next start uses the default folder.
            tell(std::string(texts.outputFolderTooLong));
        }
        return true;
    } catch (const IniWriteError& error) {
        tell(std::string(texts.stateNotSaved) + "\n" + error.what());
        return false;
    }
}

// --- The kept queue --------------------------------------------------------------------------

void WindowState::SettingsChanged() {
    if (saver_) {
        saver_->SettingsChanged();
    }
}

void WindowState::KeepQueueAsItIs() {
    if (saver_) {
        saver_->SaveNow();
        saver_->Stop();
    }
}

void WindowState::SaveQueueNow() {
    if (saver_) {
        saver_->SaveNow();
    }
}

SavedQueue WindowState::QueueSettings() const {
    SavedQueue settings;
    if (const std::optional<ChosenCommand> command = engine_.CurrentCommand()) {
        settings.settingsFile = command->settingsFile;
        settings.commandItem = command->itemNumber;
    } else {
        settings.settingsFile = engine_.SelectedSettingsPath().value_or("");
    }
    settings.outputFolder = engine_.OutputFolder();
    return settings;
}

void WindowState::RestoreQueue() {
    if (!saver_) {
        return;
    }
    const std::string& path = saver_->Path();
    const QueueTexts& texts = QueueTextsFor(TextLanguageOf(controls_));
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
            messages_->Ask(&window_, ContinueQueueQuestion(read.queue.files.size(), texts));
        // Only an explicit "Discard" forgets the files: "Later", Escape, the title bar's close
        // button and a box closed by the system's request to end all keep them. (When the
        // program is ending, the saver has stopped: the file stays as it is.)
        if (answer == kDiscardQueue) {
            RemoveFile(path);
        } else {
            ContinueQueue(read.queue, answer == kContinueQueue);
        }
    }
    saver_->Start();
}

void WindowState::ContinueQueue(const SavedQueue& queue, bool startNow) {
    // The files go on with the settings they were left with.
    const bool chosen = picker_.ChooseKept(queue.settingsFile, queue.commandItem);
    if (!queue.outputFolder.empty()) {
        controls_.BrowserEdit1->SetPath(queue.outputFolder);
    }
    std::vector<JobEntry> files;
    files.reserve(queue.files.size());
    for (const QueuedFile& file : queue.files) {
        files.push_back(JobEntry{file.path, file.subfolder, file.command, file.outputFolder});
    }
    // Not with whatever else is chosen now: without their command the files wait for the
    // user's choice (files of a watched folder carry their own).
    const bool ownCommands = std::all_of(queue.files.begin(), queue.files.end(),
                                         [](const QueuedFile& file) { return file.command; });
    if (!startNow) {
        presenter_.TakeFiles(files, FilesStart::WhenTheUserStarts);
        return;
    }
    presenter_.TakeFiles(
        files, chosen || ownCommands ? FilesStart::Now : FilesStart::WhenACommandIsChosen);
    if (!chosen && !ownCommands) {
        Message(FillIn(QueueTextsFor(TextLanguageOf(controls_)).settingsGoneFormat, "{path}",
                       queue.settingsFile));
    }
}

void WindowState::Message(const std::string& text) {
    messages_->ShowMessage(&window_, Q(text));
}

}  // namespace palomix
