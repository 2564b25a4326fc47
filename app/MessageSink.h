// Where the window's message boxes and questions go. The program shows them as modal boxes;
// tests hand in a sink that records them (and answers the questions) instead of blocking on a
// dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QMessageBox;
class QWidget;

namespace palomix {

// A question and its answers, as buttons from left to right.
struct Question {
    QString text;
    QStringList answers;
    int defaultAnswer = 0;  // taken with Enter
    int escapeAnswer = -1;  // taken with Escape or by closing the box; -1 for none
    QString detail;         // what the answers do, below the question; may be empty
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the text over the owner window and returns when the user has closed it.
    virtual void ShowMessage(QWidget* owner, const QString& text) = 0;
    // Asks the question over the owner window; returns the index of the answer chosen (the
    // escape answer, or -1 without one, when the box was closed).
    virtual int Ask(QWidget* owner, const Question& question) = 0;
};

// Modal message boxes with an OK button, titled as the owner's window is (so in its language),
// else with the application's name.
std::shared_ptr<MessageSink> MessageBoxSink();

// The box that MessageBoxSink shows for a question, not yet shown (also for pictures of it).
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* owner, const Question& question);

}  // namespace palomix
