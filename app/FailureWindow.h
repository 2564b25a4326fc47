// The window behind the status strip: the failure list as plain text that can be read,
// selected and copied, with "Convert again" for the failed files and "Clear the list". It
// stays open beside the main window and is refreshed while it is shown.
#pragma once

#include <QDialog>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace palomix {

class TFailureWindow final : public QDialog {
    Q_OBJECT

public:
    explicit TFailureWindow(QWidget* parent = nullptr);

    // The title, the list, and the captions of the three buttons.
    void SetContents(const QString& title, const QString& text, const QString& convertAgainCaption,
                     const QString& clearCaption, const QString& closeCaption);
    // Which of the two actions there is something for.
    void SetActions(bool canConvertAgain, bool canClear);
    QString Contents() const;

    QPushButton& ConvertAgainButton() const { return *convertAgain_; }
    QPushButton& ClearButton() const { return *clear_; }

    std::function<void()> OnConvertAgain;
    std::function<void()> OnClear;

private:
    QPlainTextEdit* text_;
    QPushButton* convertAgain_;
    QPushButton* clear_;
    QPushButton* close_;
};

}  // namespace palomix
