// The application object of the window program. An exception that escapes an event handler
// is shown in a message box with its text, and the program goes on.
#pragma once

#include <QApplication>
#include <memory>
#include <string_view>

#include "app/MessageSink.h"

namespace palomix {

class PalomixApplication final : public QApplication {
    Q_OBJECT

public:
    PalomixApplication(int& argc, char** argv);

    // Where escaped exceptions are shown; message boxes unless set.
    void SetExceptionSink(std::shared_ptr<MessageSink> sink);

    // Shows the text of an exception (empty for an object that is not a std::exception).
    void ShowException(std::string_view text);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::shared_ptr<MessageSink> sink_;
    bool showing_ = false;  // an exception box is open: a further one goes to stderr
};

}  // namespace palomix
