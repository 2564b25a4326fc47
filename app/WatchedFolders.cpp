#include "app/WatchedFolders.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QWidget>
#include <algorithm>
#include <utility>

#include "app/QtText.h"
#include "app/WatchDialog.h"
#include "app/WatchListWindow.h"
#include "app/WatchTexts.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "settings/IniFile.h"
#include "settings/KeptWatches.h"

namespace palomix {

WatchedFolders::WatchedFolders(Engine& engine, QMenu& fileMenu, QWidget& window,
                               std::string stateFile, std::shared_ptr<MessageSink> messages,
                               Defaults defaults)
    : QObject(&window),
      engine_(engine),
      window_(window),
      stateFile_(std::move(stateFile)),
      messages_(std::move(messages)),
      defaults_(std::move(defaults)) {
    fileMenu.addSeparator();
    W1 = fileMenu.addAction(QString());
    W2 = fileMenu.addAction(QString());
    connect(W1, &QAction::triggered, this, [this] { AskForWatch(); });
    connect(W2, &QAction::triggered, this, [this] { ShowList(); });
    SetLanguage(language_);
}

WatchedFolders::~WatchedFolders() {
    CloseWindows();
}

void WatchedFolders::CloseWindows() {
    // Both are the window's children, and both use the core: they go before it does.
    delete std::exchange(list_, nullptr);
    delete std::exchange(dialog_, nullptr);
}

void WatchedFolders::SetLanguage(Language language) {
    language_ = language;
    const WatchTexts& texts = WatchTextsFor(language);
    W1->setText(Q(texts.menuWatchFolder));
    W2->setText(Q(texts.menuWatchedFolders));
    if (list_ != nullptr) {
        list_->SetLanguage(language);
    }
}

void WatchedFolders::Restore() {
    if (restored_) {
        return;
    }
    restored_ = true;
    if (stateFile_.empty()) {
        return;
    }
    IniReader reader;
    for (const KeptWatch& kept : ReadKeptWatches(reader, stateFile_)) {
        bool paused = kept.paused;
        const std::vector<CommandRow> rows =
            engine_.CommandsOf(kept.command.settingsFile, language_);
        if (std::none_of(
                rows.begin(), rows.end(),
                [&](const CommandRow& row) { return row.itemNumber == kept.command.itemNumber; }) &&
            !paused) {
            // Its files would all fail: paused until the user sees to it.
            paused = true;
            Message(
                FillIn(FillIn(WatchTextsFor(language_).commandGoneFormat, "{folder}", kept.folder),
                       "{path}", kept.command.settingsFile));
        }
        engine_.AddWatch(
            WatchSettings{kept.folder, kept.command, kept.outputFolder, kept.subfolders, false},
            paused);
    }
}

WatchId WatchedFolders::Add(const WatchSettings& settings) {
    WatchSettings watch = settings;
    if (watch.outputFolder.empty()) {
        watch.outputFolder = defaults_().outputFolder;
    }
    const WatchId id = engine_.AddWatch(std::move(watch));
    Save();
    if (list_ != nullptr) {
        list_->Refresh();
    }
    return id;
}

void WatchedFolders::AskForWatch() {
    if (dialog_ != nullptr) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    dialog_ = new TWatchDialog(engine_, language_, defaults_(), &window_);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->OnProblem = [this](const std::string& problem) { Message(problem); };
    connect(dialog_, &QDialog::accepted, this, [this] {
        std::string problem;
        if (const std::optional<WatchSettings> settings = dialog_->Settings(problem)) {
            Add(*settings);
        }
    });
    // Gone once answered, either way: the next File → "Watch a folder…" opens a new one.
    connect(dialog_, &QDialog::finished, dialog_, &QObject::deleteLater);
    connect(dialog_, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
    dialog_->open();
}

void WatchedFolders::ShowList() {
    if (list_ == nullptr) {
        list_ = new TWatchListWindow(engine_, language_, &window_);
        list_->OnChanged = [this] { Save(); };
    }
    list_->Refresh();
    list_->show();
    list_->raise();
    list_->activateWindow();
}

void WatchedFolders::Save() {
    if (stateFile_.empty()) {
        return;
    }
    std::vector<KeptWatch> kept;
    for (const WatchView& view : engine_.Watches()) {
        kept.push_back(KeptWatch{view.settings.folder, view.settings.command,
                                 view.settings.outputFolder, view.settings.subfolders,
                                 view.state == WatchState::Paused});
    }
    const WatchTexts& texts = WatchTextsFor(language_);
    try {
        // The user's folder of an installed copy may not be there yet.
        CreateFolderTree(FolderOf(stateFile_));
        for (const std::string& folder : SaveKeptWatches(stateFile_, kept)) {
            Message(FillIn(texts.leftOutFormat, "{path}", folder));
        }
    } catch (const IniWriteError& error) {
        Message(FillIn(texts.notKeptFormat, "{reason}", error.what()));
    }
}

void WatchedFolders::Message(const std::string& text) {
    messages_->ShowMessage(&window_, Q(text));
}

}  // namespace palomix
