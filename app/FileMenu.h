// The window's File menu: "Add files..." (Ctrl+O, several files at once) and "Add a folder..."
// put files into the queue without dragging. The paths chosen go the way of a drop, so a run
// starts as after one. The dialogs open in the folder the user last took files from, which is
// kept in the state file (settings/AddFilesFolder.h) for the next start.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "settings/Language.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace palomix {

class FileMenu final : public QObject {
    Q_OBJECT

public:
    using PathsHandler = std::function<void(const std::vector<std::string>& paths)>;

    // Put into the bar before `before` (nullptr: at the end). `stateFile` keeps the folder.
    FileMenu(QMenuBar& bar, QAction* before, std::string stateFile, PathsHandler onPaths,
             QWidget* owner);

    // Reads the folder kept by an earlier start.
    void Restore();
    void SetLanguage(Language language);

    // Shows the dialog for files (or a folder) and hands on what was chosen; nothing when the
    // dialog is cancelled.
    void AddFiles();
    void AddFolder();

    // The folder the next dialog opens in; empty: the dialog's own choice.
    const std::string& Folder() const { return folder_; }

    QMenu* F0 = nullptr;    // File
    QAction* F1 = nullptr;  // Add files...
    QAction* F2 = nullptr;  // Add a folder...

private:
    void Ask(bool folder);

    QWidget* owner_;
    std::string stateFile_;
    PathsHandler onPaths_;
    Language language_ = Language::Japanese;
    std::string folder_;
};

}  // namespace palomix
