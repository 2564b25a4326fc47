#include "widgets/FolderBrowseDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

#include "controllogic/DialogPlacement.h"
#include "controllogic/FolderPathText.h"

namespace palomix {
namespace {

QString RootPath(TBrowseRootFolder root) {
    switch (root) {
        case bfoHome:
            return QDir::homePath();
        case bfoDesktopFolder:
            return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        case bfoDocuments:
            return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        case bfoDesktopExpanded:
            break;
    }
    return {};
}

bool IsInside(const QString& path, const QString& root) {
    const QString cleanPath = QDir::cleanPath(path);
    const QString cleanRoot = QDir::cleanPath(root);
    return cleanPath == cleanRoot ||
           cleanPath.startsWith(cleanRoot.endsWith('/') ? cleanRoot : cleanRoot + '/');
}

// The nearest folder that exists at or above `path` (empty when none does).
QString NearestExistingFolder(const QString& path) {
    QFileInfo info(path);
    while (!info.exists() || !info.isDir()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath()) {
            return {};
        }
        info = QFileInfo(parent);
    }
    return info.absoluteFilePath();
}

// The keyboard's way to a folder: the name field opens holding the whole path of the folder
// selected, chosen and with the focus, so that typing a path replaces it and Enter takes that
// folder at once; Ctrl+L (as in other file dialogs) comes back to it from the list.
void OfferTypedPath(QDialog& window, QFileDialog& chooser) {
    auto* edit = chooser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (edit == nullptr) {
        return;
    }
    const QStringList selected = chooser.selectedFiles();
    if (!selected.isEmpty() && QFileInfo(selected.front()).isDir()) {
        edit->setText(QDir::toNativeSeparators(selected.front()));
    }
    const auto focusPath = [edit] {
        edit->setFocus(Qt::ShortcutFocusReason);
        edit->selectAll();
    };
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &window);
    QObject::connect(shortcut, &QShortcut::activated, edit, focusPath);
    // Once the window shows, after the chooser has given the focus where it gives it.
    QTimer::singleShot(0, edit, focusPath);
}

ScreenRect ToScreenRect(const QRect& rect) {
    return ScreenRect{rect.left(), rect.top(), rect.left() + rect.width(),
                      rect.top() + rect.height()};
}

}  // namespace

bool TFolderBrowseDialog::Execute() {
    QWidget* owner = owner_ != nullptr ? owner_->window() : QApplication::activeWindow();
    QDialog window(owner);
    auto* layout = new QVBoxLayout(&window);
    if (!Caption.empty()) {
        auto* instruction = new QLabel(QString::fromStdString(Caption), &window);
        instruction->setWordWrap(true);
        layout->addWidget(instruction);
    }
    auto* chooser = new QFileDialog(&window);
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOption(QFileDialog::DontUseNativeDialog);
    chooser->setFileMode(QFileDialog::Directory);
    chooser->setOption(QFileDialog::ShowDirsOnly, !Options.Contains(doShowFiles));
    layout->addWidget(chooser);
    QLabel* status = nullptr;
    if (Options.Contains(doStatusText)) {
        status = new QLabel(&window);
        status->setFrameShape(QFrame::StyledPanel);
        status->setFrameShadow(QFrame::Sunken);
        layout->addWidget(status);
    }
    QObject::connect(chooser, &QFileDialog::accepted, &window, &QDialog::accept);
    QObject::connect(chooser, &QFileDialog::rejected, &window, &QDialog::reject);
    QObject::connect(chooser, &QFileDialog::currentChanged, &window,
                     [this, status](const QString& path) {
                         DoSelectionChange(QDir::toNativeSeparators(path).toStdString(), status);
                     });

    DoInit(window, *chooser, status);
    if (window.exec() != QDialog::Accepted) {
        return false;
    }
    const QStringList chosen = chooser->selectedFiles();
    if (chosen.isEmpty() || !QFileInfo(chosen.front()).isDir()) {
        return false;  // only folders of the file system can be confirmed
    }
    const QString folder = QDir::toNativeSeparators(QFileInfo(chosen.front()).absoluteFilePath());
    SelectedFolder = ChosenFolderText(folder.toStdString());
    const QString name = QFileInfo(chosen.front()).fileName();
    SetDisplayName(name.isEmpty() ? SelectedFolder : name.toStdString());
    return true;
}

void TFolderBrowseDialog::DoInit(QDialog& window, QFileDialog& chooser, QLabel* status) const {
    window.setWindowTitle(CaptionTitle.empty() ? chooser.windowTitle()
                                               : QString::fromStdString(CaptionTitle));

    const QString root = RootPath(StartFolder);
    if (!root.isEmpty()) {
        chooser.setDirectory(root);
        // Keep the user inside the root's tree.
        QObject::connect(&chooser, &QFileDialog::directoryEntered, &chooser,
                         [&chooser, root](const QString& folder) {
                             if (!IsInside(folder, root)) {
                                 chooser.setDirectory(root);
                             }
                         });
    } else {
        chooser.setDirectory(QDir::homePath());
    }

    if (!Options.Contains(doAllowEdit)) {
        // Without the edit option the folder is chosen in the list only.
        for (const char* name : {"fileNameEdit", "fileNameLabel"}) {
            if (auto* part = chooser.findChild<QWidget*>(QString::fromLatin1(name))) {
                part->hide();
            }
        }
    }

    if (status != nullptr && !StatusText.empty()) {
        status->setText(QString::fromStdString(StatusText));
    }

    if (!SelectedFolder.empty()) {
        const QString wanted = QString::fromStdString(SelectedFolder);
        const QFileInfo info(wanted);
        if (info.isDir() && (root.isEmpty() || IsInside(info.absoluteFilePath(), root))) {
            chooser.setDirectory(info.absolutePath());
            chooser.selectFile(info.absoluteFilePath());
        } else if (const QString near = NearestExistingFolder(wanted);
                   !near.isEmpty() && (root.isEmpty() || IsInside(near, root))) {
            // A folder that no longer exists: open near it, with nothing selected.
            chooser.setDirectory(near);
        }
    }

    if (Options.Contains(doAllowEdit)) {
        OfferTypedPath(window, chooser);
    }
    window.resize(window.sizeHint().expandedTo(QSize(560, 400)));
    if (Position == bpCenter) {
        Place(window);
    }
}

void TFolderBrowseDialog::DoSelectionChange(const std::string& path, QLabel* status) const {
    if (status != nullptr && Options.Contains(doShowPath)) {
        status->setText(QString::fromStdString(ShortenedPathText(path, 40)));
    }
}

void TFolderBrowseDialog::Place(QDialog& window) const {
    const QWidget* active = RelatePos == brActiveWindow ? QApplication::activeWindow() : nullptr;
    const QScreen* screen = active != nullptr ? active->screen() : QApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const ScreenRect screenRect = ToScreenRect(screen->geometry());
    const ScreenRect target =
        active != nullptr ? ToScreenRect(active->frameGeometry()) : screenRect;
    // The frame is not known before the window shows; the active window's frame margins
    // are the best guess of the dialog's.
    QSize frame = window.size();
    if (active != nullptr) {
        frame += active->frameGeometry().size() - active->size();
    }
    const ScreenPoint corner = CenterDialog(target, frame.width(), frame.height(), screenRect);
    window.move(corner.x, corner.y);
}

}  // namespace palomix
