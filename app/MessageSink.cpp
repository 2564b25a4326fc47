#include "app/MessageSink.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace palomix {

namespace {

// Each button of a question knows the index of its answer.
constexpr const char* kAnswerProperty = "palomixAnswer";

QString BoxTitle(const QWidget* owner) {
    if (owner != nullptr && !owner->window()->windowTitle().isEmpty()) {
        return owner->window()->windowTitle();
    }
    return QCoreApplication::applicationName();
}

class ModalMessageBoxSink final : public MessageSink {
public:
    void ShowMessage(QWidget* owner, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, BoxTitle(owner), text, QMessageBox::Ok, owner);
        box.exec();
    }

    int Ask(QWidget* owner, const Question& question) override {
        const std::unique_ptr<QMessageBox> box = MakeQuestionBox(owner, question);
        box->exec();
        const QAbstractButton* clicked = box->clickedButton();
        return clicked != nullptr ? clicked->property(kAnswerProperty).toInt()
                                  : question.escapeAnswer;
    }
};

}  // namespace

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* owner, const Question& question) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, BoxTitle(owner), question.text,
                                             QMessageBox::NoButton, owner);
    box->setInformativeText(question.detail);
    for (int answer = 0; answer < question.answers.size(); ++answer) {
        // The escape answer sits where the system puts a cancel button; the others keep their
        // order.
        QPushButton* button = box->addButton(
            question.answers[answer],
            answer == question.escapeAnswer ? QMessageBox::RejectRole : QMessageBox::ActionRole);
        button->setProperty(kAnswerProperty, answer);
        if (answer == question.defaultAnswer) {
            box->setDefaultButton(button);
        }
        if (answer == question.escapeAnswer) {
            box->setEscapeButton(button);
        }
    }
    return box;
}

std::shared_ptr<MessageSink> MessageBoxSink() {
    return std::make_shared<ModalMessageBoxSink>();
}

}  // namespace palomix
