#include "app/WindowProgram.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "app/InstanceHandover.h"
#include "app/PalomixApplication.h"
#include "app/QtText.h"
#include "app/WindowOptions.h"
#include "platform/InterruptSignals.h"
#include "platform/ProgramArguments.h"
#include "platform/SingleInstance.h"

namespace palomix {

namespace {

// The most a later start waits for the window to take its paths.
constexpr std::chrono::milliseconds kHandoverTime{1900};

std::vector<std::string> PathsOfCommandLine(int argc, char* argv[]) {
    return PathsFromArguments(ProgramArguments(argc, argv));
}

// A later start: Qt takes its own options out of a copy of the command line, as it does for
// the window (-platform, -style, ...), on the minimal platform, which needs no display; the
// rest are paths for the running window.
int HandOver(int argc, char* argv[]) {
    MinimalPlatformArguments arguments(argc, argv);
    const QApplication qt(arguments.count, arguments.argv());
    const std::vector<std::string> paths = PathsOfCommandLine(arguments.count, arguments.argv());
    if (!HandToRunningWindow(HandoverServerName(), paths, kHandoverTime) && !paths.empty()) {
        std::fprintf(stderr,
                     "palomix: the running window did not take the files in time; %zu file(s) "
                     "were not added\n",
                     paths.size());
    }
    return 0;
}

// Logout, shutdown, a terminate or hang-up signal and Ctrl-C close the window: the watch's
// thread hands each request to the window's thread. Null when it cannot be set up (the window
// works without it; the system's default then ends the program).
std::unique_ptr<InterruptWatch> WatchForEndRequests(TMainForm1& form) {
    try {
        return std::make_unique<InterruptWatch>([&form](const Interruption& /*interruption*/) {
            QMetaObject::invokeMethod(
                &form, [&form] { form.SessionEnding(); }, Qt::QueuedConnection);
        });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return nullptr;
    }
}

}  // namespace

int RunWindowProgram(int argc, char* argv[], MainFormEnvironment environment) {
    // Held until the process ends. A second instance leaves at once, without a window, once
    // it has handed its paths to the window (or the window has not taken them in time).
    const SingleInstanceLock instance(kSingleInstanceName);
    if (instance.AnotherInstanceRunning()) {
        return HandOver(argc, argv);
    }

    PalomixApplication application(argc, argv);
    // The application name is what task bars and window managers group the window under (the
    // window class on X11). The display name is left unset: Qt would append it to every
    // window caption, and the caption belongs to the language commands.
    PalomixApplication::setApplicationName(Q(kApplicationTitle));
    try {
        TMainForm1 form(std::move(environment));
        form.OpenPaths(PathsOfCommandLine(argc, argv));
        // A later start's paths; with none it only wants the window in front.
        const HandoverServer handover(HandoverServerName(),
                                      [&form](std::vector<std::string> paths) {
                                          form.OpenPaths(std::move(paths));
                                          form.BringToFront();
                                      });
        form.show();
        // Taken over once the window is shown, so a request comes after the restore the showing
        // set off; the watch goes before the window does, so no request reaches a window that
        // is gone.
        const std::unique_ptr<InterruptWatch> watch = WatchForEndRequests(form);
        PalomixApplication::exec();
    } catch (const std::exception& error) {
        application.ShowException(error.what());
    } catch (...) {
        application.ShowException({});
    }
    return 0;
}

}  // namespace palomix
