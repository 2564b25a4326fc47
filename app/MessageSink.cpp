#include "app/MessageSink.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace palomix {

namespace {

class ModalMessageBoxSink final : public MessageSink {
public:
    void ShowMessage(QWidget* owner, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                        QMessageBox::Ok, owner);
        box.exec();
    }
};

}  // namespace

std::shared_ptr<MessageSink> MessageBoxSink() {
    return std::make_shared<ModalMessageBoxSink>();
}

}  // namespace palomix
