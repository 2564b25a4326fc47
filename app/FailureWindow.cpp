#include "app/FailureWindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace palomix {

TFailureWindow::TFailureWindow(QWidget* parent)
    : QDialog(parent),
      text_(new QPlainTextEdit(this)),
      convertAgain_(new QPushButton(this)),
      clear_(new QPushButton(this)),
      close_(new QPushButton(this)) {
    setModal(false);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(convertAgain_);
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    connect(convertAgain_, &QPushButton::clicked, this, [this] {
        if (OnConvertAgain) {
            OnConvertAgain();
        }
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        if (OnClear) {
            OnClear();
        }
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    close_->setDefault(true);
    resize(760, 420);
}

void TFailureWindow::SetContents(const QString& title, const QString& text,
                                 const QString& convertAgainCaption, const QString& clearCaption,
                                 const QString& closeCaption) {
    setWindowTitle(title);
    convertAgain_->setText(convertAgainCaption);
    clear_->setText(clearCaption);
    close_->setText(closeCaption);
    if (text_->toPlainText() != text) {
        text_->setPlainText(text);
    }
}

void TFailureWindow::SetActions(bool canConvertAgain, bool canClear) {
    convertAgain_->setEnabled(canConvertAgain);
    clear_->setEnabled(canClear);
}

QString TFailureWindow::Contents() const {
    return text_->toPlainText();
}

}  // namespace palomix
