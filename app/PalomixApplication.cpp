#include "app/PalomixApplication.h"

#include <QApplication>
#include <cstdio>
#include <exception>
#include <string>

#include "app/QtText.h"

namespace palomix {

PalomixApplication::PalomixApplication(int& argc, char** argv)
    : QApplication(argc, argv), sink_(MessageBoxSink()) {}

void PalomixApplication::SetExceptionSink(std::shared_ptr<MessageSink> sink) {
    sink_ = sink ? std::move(sink) : MessageBoxSink();
}

void PalomixApplication::ShowException(std::string_view text) {
    if (showing_) {
        // An exception while the box of another one is open: no box on top of a box.
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
        return;
    }
    showing_ = true;
    try {
        sink_->ShowMessage(activeWindow(), Q(text));
    } catch (...) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
    showing_ = false;
}

bool PalomixApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error.what());
    } catch (...) {
        ShowException({});
    }
    return false;
}

}  // namespace palomix
