#include "app/FailureWindow.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace palomix {

TFailureWindow::TFailureWindow(QWidget* parent)
    : QDialog(parent), text_(new QPlainTextEdit(this)), close_(new QPushButton(this)) {
    setModal(false);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(close_, 0, Qt::AlignRight);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    resize(640, 400);
}

void TFailureWindow::SetContents(const QString& title, const QString& text,
                                 const QString& closeCaption) {
    setWindowTitle(title);
    close_->setText(closeCaption);
    if (text_->toPlainText() != text) {
        text_->setPlainText(text);
    }
}

QString TFailureWindow::Contents() const {
    return text_->toPlainText();
}

}  // namespace palomix
