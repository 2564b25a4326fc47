// The window's watched folders: File → "Watch a folder…" (app/WatchDialog.h) and "Watched
// folders…" (app/WatchListWindow.h), the watches kept in the state file (settings/KeptWatches.h)
// and watched again at the next start, paused ones paused. The core does the watching (its
// events are the window's own QFileSystemWatcher, app/QtFolderEvents.h); the files it finds
// start as a drop does (RunPresenter).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "app/MessageSink.h"
#include "engine/Engine.h"

class QAction;
class QMenu;
class QWidget;

namespace palomix {

class TWatchDialog;
class TWatchListWindow;

class WatchedFolders final : public QObject {
    Q_OBJECT

public:
    // What a new watch starts with in the dialog: the window's choices now.
    using Defaults = std::function<WatchSettings()>;

    // The two items go at the end of `fileMenu`. `stateFile`: where the watches are kept (empty:
    // nowhere).
    WatchedFolders(Engine& engine, QMenu& fileMenu, QWidget& window, std::string stateFile,
                   std::shared_ptr<MessageSink> messages, Defaults defaults);
    ~WatchedFolders() override;

    void SetLanguage(Language language);
    // The watches kept by an earlier start, watched again (once, at the window's restore).
    void Restore();
    // Adds a watch as the dialog does and keeps the list; false when the core has it already.
    WatchId Add(const WatchSettings& settings);
    // The dialog; the list (made when first opened).
    void AskForWatch();
    void ShowList();
    TWatchDialog* Dialog() const { return dialog_; }
    TWatchListWindow* List() const { return list_; }
    // Writes the watches into the state file.
    void Save();
    // Closes the dialog and the list for good (before the core goes).
    void CloseWindows();

    QAction* W1 = nullptr;  // Watch a folder…
    QAction* W2 = nullptr;  // Watched folders…

private:
    void Message(const std::string& text);

    Engine& engine_;
    QWidget& window_;
    const std::string stateFile_;
    std::shared_ptr<MessageSink> messages_;
    Defaults defaults_;
    Language language_ = Language::Japanese;
    bool restored_ = false;
    TWatchDialog* dialog_ = nullptr;    // while it is open
    TWatchListWindow* list_ = nullptr;  // the window's child, made when first opened
};

}  // namespace palomix
