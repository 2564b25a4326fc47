#include "app/FileMenu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

#include "app/QtText.h"
#include "app/QueueTexts.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "settings/AddFilesFolder.h"
#include "settings/IniFile.h"

namespace palomix {

namespace {

std::string PathOf(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

}  // namespace

FileMenu::FileMenu(QMenuBar& bar, QAction* before, std::string stateFile, PathsHandler onPaths,
                   QWidget* owner)
    : QObject(owner),
      owner_(owner),
      stateFile_(std::move(stateFile)),
      onPaths_(std::move(onPaths)) {
    F0 = new QMenu(&bar);
    bar.insertMenu(before, F0);
    F1 = F0->addAction(QString());
    F1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(F1, &QAction::triggered, this, [this] { AddFiles(); });
    F2 = F0->addAction(QString());
    connect(F2, &QAction::triggered, this, [this] { AddFolder(); });
    SetLanguage(language_);
}

void FileMenu::Restore() {
    IniReader reader;
    folder_ = ReadAddFilesFolder(reader, stateFile_).value_or(folder_);
}

void FileMenu::SetLanguage(Language language) {
    language_ = language;
    const QueueTexts& texts = QueueTextsFor(language);
    F0->setTitle(Q(texts.menuFile));
    F1->setText(Q(texts.menuAddFiles));
    F2->setText(Q(texts.menuAddFolder));
}

void FileMenu::AddFiles() {
    Ask(false);
}

void FileMenu::AddFolder() {
    Ask(true);
}

void FileMenu::Ask(bool folder) {
    const QueueTexts& texts = QueueTextsFor(language_);
    QFileDialog dialog(owner_, Q(folder ? texts.addFolderTitle : texts.addFilesTitle), Q(folder_));
    dialog.setFileMode(folder ? QFileDialog::Directory : QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ShowDirsOnly, folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::vector<std::string> paths;
    for (const QString& chosen : dialog.selectedFiles()) {
        paths.push_back(PathOf(chosen));
    }
    if (paths.empty()) {
        return;
    }
    // The next dialog opens where this one ended: the folder of the files, or the one that
    // holds the folder chosen.
    folder_ = folder ? FolderOf(paths.front()) : PathOf(dialog.directory().absolutePath());
    if (!stateFile_.empty() && CreateFolderTree(FolderOf(stateFile_))) {
        SaveAddFilesFolder(stateFile_, folder_);  // else kept for this session only
    }
    onPaths_(paths);
}

}  // namespace palomix
