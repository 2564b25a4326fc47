// Where the window's message boxes go. The program shows them as modal boxes with an OK
// button; tests hand in a sink that records them instead of blocking on a dialog.
#pragma once

#include <QString>
#include <memory>

class QWidget;

namespace palomix {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the text over the owner window and returns when the user has closed it.
    virtual void ShowMessage(QWidget* owner, const QString& text) = 0;
};

// Modal message boxes with an OK button, titled with the application title.
std::shared_ptr<MessageSink> MessageBoxSink();

}  // namespace palomix
