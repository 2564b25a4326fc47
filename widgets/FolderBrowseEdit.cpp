#include "widgets/FolderBrowseEdit.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <algorithm>
#include <exception>

#include "widgets/FolderBrowsePicture.h"

namespace palomix {

TFolderBrowseEdit::TFolderBrowseEdit(QWidget* parent)
    : QLineEdit(parent), button_(new QToolButton(this)) {
    button_->setIcon(QIcon(FolderPicture()));
    button_->setIconSize(QSize(kFolderPictureWidth, kFolderPictureHeight));
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setCursor(Qt::ArrowCursor);
    button_->setAutoRaise(false);
    setTextMargins(0, 0, kButtonWidth, 0);
    connect(button_, &QToolButton::clicked, this, [this] { ButtonClicked(); });
    factory_ = [](QWidget* owner) { return std::make_unique<TFolderBrowseDialog>(owner); };
    PlaceButton();
}

void TFolderBrowseEdit::SetPath(const std::string& path) {
    setText(QString::fromStdString(path));
    setModified(false);
}

void TFolderBrowseEdit::SetDialogFactory(DialogFactory factory) {
    if (factory) {
        factory_ = std::move(factory);
    }
}

void TFolderBrowseEdit::DoOnBrowseClick() {
    // The dialog lives for this click only; unique_ptr destroys it on every way out.
    const std::unique_ptr<TFolderBrowseDialog> dialog = factory_(window());
    if (!dialog) {
        return;
    }
    dialog->StartFolder = startFolder_;
    dialog->Options = options_;
    const std::string current = Path();
    if (startWithLast_ && !current.empty()) {
        dialog->SelectedFolder = current;
    }
    if (OnExecute) {
        OnExecute(*this, *dialog);
    }
    if (dialog->Execute()) {
        SetPath(dialog->SelectedFolder);
    }
}

void TFolderBrowseEdit::ButtonClicked() {
    // An exception must not cross Qt's event loop: it is shown, and the program goes on.
    try {
        DoOnBrowseClick();
    } catch (const std::exception& error) {
        // Titled as the window is, in its language.
        QMessageBox::critical(window(), window()->windowTitle(),
                              QString::fromStdString(error.what()));
    }
}

void TFolderBrowseEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool altDown = key == Qt::Key_Down && modifiers == Qt::AltModifier;
    const bool press = modifiers == Qt::NoModifier &&
                       (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space);
    if (altDown || (press && isReadOnly())) {
        event->accept();
        ButtonClicked();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TFolderBrowseEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    PlaceButton();
}

void TFolderBrowseEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::StyleChange) {
        PlaceButton();
    }
}

void TFolderBrowseEdit::PlaceButton() {
    // Inside the field's frame, at its right end, over the full inner height.
    QStyleOptionFrame option;
    initStyleOption(&option);
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    const int inner = hasFrame() ? frame : 0;
    button_->setGeometry(width() - inner - kButtonWidth, inner, kButtonWidth,
                         std::max(height() - 2 * inner, 0));
}

}  // namespace palomix
