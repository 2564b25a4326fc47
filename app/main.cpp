// The window program: one instance per user, one window, exit code 0 on every path. The
// command line is handed to Qt, which needs it, and otherwise never looked at.
#include <cstdio>
#include <exception>
#include <memory>

#include "app/Captions.h"
#include "app/MainForm1.h"
#include "app/PalomixApplication.h"
#include "platform/InterruptSignals.h"
#include "platform/SingleInstance.h"

int main(int argc, char* argv[]) {
    // Held until the process ends. A second instance leaves at once, without a window.
    const palomix::SingleInstanceLock instance(palomix::kSingleInstanceName);
    if (instance.AnotherInstanceRunning()) {
        return 0;
    }

    palomix::PalomixApplication application(argc, argv);
    // The application name is what task bars and window managers group the window under (the
    // window class on X11). The display name is left unset: Qt would append it to every
    // window caption, and the caption belongs to the language commands.
    palomix::PalomixApplication::setApplicationName(
        QString::fromUtf8(palomix::kApplicationTitle.data(),
                          static_cast<qsizetype>(palomix::kApplicationTitle.size())));
    try {
        palomix::TMainForm1 form;
        form.show();
        // Logout, shutdown, a terminate or hang-up signal and Ctrl-C in a terminal close the
        // window: the watch's thread hands each request to the window's thread. Taken over
        // once the window is shown, so a request comes after the restore the showing set off;
        // the watch goes before the window does, so no request reaches a window that is gone.
        std::unique_ptr<palomix::InterruptWatch> watch;
        try {
            watch = std::make_unique<palomix::InterruptWatch>(
                [&form](const palomix::Interruption& /*interruption*/) {
                    QMetaObject::invokeMethod(
                        &form, [&form] { form.SessionEnding(); }, Qt::QueuedConnection);
                });
        } catch (const std::exception& error) {
            // The window works without it; the system's default ends the program then.
            std::fprintf(stderr, "%s\n", error.what());
        }
        palomix::PalomixApplication::exec();
    } catch (const std::exception& error) {
        application.ShowException(error.what());
    } catch (...) {
        application.ShowException({});
    }
    return 0;
}
