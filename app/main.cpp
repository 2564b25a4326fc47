// The window program: one instance per user, one window, exit code 0 on every path. The
// command line is handed to Qt, which takes its own options from it; what is left are paths
// to convert, queued as a drop. A later start hands its paths to the window that runs.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "app/InstanceHandover.h"
#include "app/MainForm1.h"
#include "app/PalomixApplication.h"
#include "app/QtText.h"
#include "platform/InterruptSignals.h"
#include "platform/ProgramArguments.h"
#include "platform/SingleInstance.h"

namespace {

// The most a later start waits for the window to take its paths.
constexpr std::chrono::milliseconds kHandoverTime{1900};

std::vector<std::string> PathsOfCommandLine(int argc, char* argv[]) {
    return palomix::PathsFromArguments(palomix::ProgramArguments(argc, argv));
}

// A later start: Qt takes its own options out of a copy of the command line, as it does for
// the window (-platform, -style, ...), on the minimal platform, which needs no display; the
// rest are paths for the running window.
int HandOver(int argc, char* argv[]) {
    std::vector<std::string> words(argv, argv + argc);
    words.insert(words.end(), {"-platform", "minimal"});
    std::vector<char*> pointers;
    for (std::string& word : words) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    int count = static_cast<int>(words.size());
    const QApplication qt(count, pointers.data());
    const std::vector<std::string> paths = PathsOfCommandLine(count, pointers.data());
    if (!palomix::HandToRunningWindow(palomix::HandoverServerName(), paths, kHandoverTime) &&
        !paths.empty()) {
        std::fprintf(stderr,
                     "palomix: the running window did not take the files in time; %zu file(s) "
                     "were not added\n",
                     paths.size());
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Held until the process ends. A second instance leaves at once, without a window, once
    // it has handed its paths to the window (or the window has not taken them in time).
    const palomix::SingleInstanceLock instance(palomix::kSingleInstanceName);
    if (instance.AnotherInstanceRunning()) {
        return HandOver(argc, argv);
    }

    palomix::PalomixApplication application(argc, argv);
    // The application name is what task bars and window managers group the window under (the
    // window class on X11). The display name is left unset: Qt would append it to every
    // window caption, and the caption belongs to the language commands.
    palomix::PalomixApplication::setApplicationName(palomix::Q(palomix::kApplicationTitle));
    try {
        palomix::TMainForm1 form;
        form.OpenPaths(PathsOfCommandLine(argc, argv));
        // A later start's paths; with none it only wants the window in front.
        const palomix::HandoverServer handover(palomix::HandoverServerName(),
                                               [&form](std::vector<std::string> paths) {
                                                   form.OpenPaths(std::move(paths));
                                                   form.BringToFront();
                                               });
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
