// The window behind the status strip: the failed jobs of the batch as plain text that can be
// read, selected and copied. It stays open beside the main window and is refreshed while it
// is shown.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace palomix {

class TFailureWindow final : public QDialog {
    Q_OBJECT

public:
    explicit TFailureWindow(QWidget* parent = nullptr);

    void SetContents(const QString& title, const QString& text, const QString& closeCaption);
    QString Contents() const;

private:
    QPlainTextEdit* text_;
    QPushButton* close_;
};

}  // namespace palomix
