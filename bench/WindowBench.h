// What the benchmarks that drive the real window share: a converter that never runs, a watch on
// the grid's paints, messages that answer themselves, and the window's surroundings.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QtGlobal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/DesktopSession.h"
#include "app/MainForm1.h"
#include "app/StringGrid.h"
#include "bench/BenchTree.h"
#include "platform/ProcessLauncher.h"

namespace palomix::bench {

// A launcher that starts nothing: every command "runs" until the window goes.
class IdleLauncher final : public ProcessLauncher {
public:
    LaunchResult Launch(const std::string& /*commandLine*/,
                        ProcessEndedHandler /*onEnded*/) override {
        LaunchResult result;
        result.launched = true;
        result.handle = ProcessHandle{++next_};
        return result;
    }
    bool Terminate(ProcessHandle /*handle*/) override { return true; }
    void DiscardLog(ProcessHandle /*handle*/) override {}

private:
    std::uint64_t next_ = 0;
};

// Notes every paint of the widget it watches.
class PaintWatch final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted = true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Shows nothing and answers every question as Escape would.
class SilentMessages final : public MessageSink {
public:
    void ShowMessage(QWidget* /*owner*/, const QString& /*text*/) override {}
    int Ask(QWidget* /*owner*/, const Question& question) override { return question.escapeAnswer; }
};

// The window of the program folder given, with the launcher above, silent messages, a desktop
// that is asked nothing and the kept queue in queueFile ("" keeps none).
inline MainFormEnvironment BenchWindowEnvironment(const std::string& programFolder,
                                                  const std::string& queueFile) {
    MainFormEnvironment environment;
    environment.programFolder = programFolder;
    environment.executablePath = programFolder + "/palomix";
    environment.messages = std::make_shared<SilentMessages>();
    environment.openWithDefault = [](const std::string&, const OpenFailureHandler&) {};
    environment.makeLauncher = [](PostToHost) { return std::make_unique<IdleLauncher>(); };
    environment.makeDesktop = [](QWidget&) { return std::make_unique<QuietDesktopSession>(); };
    environment.queueFile = queueFile;
    return environment;
}

// The folder the window benchmarks drop: 1,000 folders of 100 empty files, built once.
inline constexpr int kDropFolders = 1000;
inline constexpr int kDropFilesPerFolder = 100;
inline bool BuildDropTree(const std::string& root) {
    return BuildFileTree(root + ".tree-complete", kDropFolders, kDropFilesPerFolder,
                         [&root](int f) { return root + "/folder-" + Number(f, 3); });
}

// A program folder in the temporary folder whose one settings file runs "converter" on each
// file (which IdleLauncher never starts). The window uses the offscreen platform unless
// QT_QPA_PLATFORM names another.
inline std::string BenchProgramFolder(const std::string& name) {
    const std::string folder = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::create_directories(folder + "/convert_settings");
    std::ofstream(folder + "/convert_settings/bench.ini")
        << "[Info]\nTitle=bench\nTitleE=bench\n[Item0]\nTitle=run\nTitleE=run\n"
           "Command0=converter \"<%InputFile%>\"\n";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    return folder;
}

// Runs the event loop until the grid has painted since the watch was reset and shows rows.
inline void PaintNow(PaintWatch& watch, const TMainForm1& form, int rows) {
    while (!watch.painted || form.StringGrid2->model()->rowCount() != rows) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

}  // namespace palomix::bench
