// Drives the real window of an installed copy for tests/app/installed_copy_test.sh: copied into
// the installed program folder beside palomix, it makes the window exactly as the program
// does (its folder, places, launcher and converters are the real ones) and uses it as a user
// would. Messages the window shows are written to standard error and count as a failure.
//
//   palomix-window-driver convert INPUT VIDEOS   drop INPUT, convert it with the first command
//                                                of music.ini, choose English, close
//   palomix-window-driver check VIDEOS           the next start: English, music.ini and the
//                                                videos folder are still chosen
//   palomix-window-driver window [FILE...]       the program as `palomix FILE...` runs it,
//                                                but each question is answered with its
//                                                default answer as soon as it is asked
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/MainForm1.h"
#include "app/PalomixApplication.h"
#include "app/WindowProgram.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace {

class PrintingSink final : public palomix::MessageSink {
public:
    void ShowMessage(QWidget* /*owner*/, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        ++shown;
    }
    int Ask(QWidget* /*owner*/, const palomix::Question& question) override {
        std::fprintf(stderr, "question: %s\n", question.text.toUtf8().constData());
        ++shown;
        return question.escapeAnswer;
    }
    int shown = 0;
};

// Answers each question at once as Enter would, and writes it to standard error.
class DefaultAnswerSink final : public palomix::MessageSink {
public:
    void ShowMessage(QWidget* /*owner*/, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    int Ask(QWidget* /*owner*/, const palomix::Question& question) override {
        std::fprintf(stderr, "question: %s\n", question.text.toUtf8().constData());
        return question.defaultAnswer;
    }
};

bool Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "failed: %s\n", what);
    }
    return condition;
}

bool WaitForIdle(const palomix::TMainForm1& form) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (form.Core().JobCount() != 0 || form.Core().RunActive() ||
           form.Core().WaitingForProcess()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

int MusicRow(const palomix::TMainForm1& form) {
    const auto& entries = form.Core().SettingsFiles();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        if (entries[row].fileName == "music.ini") {
            return static_cast<int>(row);
        }
    }
    return -1;
}

bool Convert(palomix::TMainForm1& form, const std::string& input, const std::string& videos) {
    bool ok = Check(!form.Places().portable, "the program folder counts as not writable");
    ok = Check(form.BrowserEdit1->Path() == videos, "the output folder is the videos folder") && ok;
    const int music = MusicRow(form);
    if (!Check(music >= 0, "music.ini is listed")) {
        return false;
    }
    form.MultiComboBox1->setCurrentIndex(music);
    emit form.MultiComboBox1->activated(music);
    form.FormDropFiles({input});
    ok = Check(WaitForIdle(form), "the conversion ends") && ok;
    ok = Check(form.Report().Tally().done == 1 && form.Report().FailureCount() == 0,
               "the file was converted") &&
         ok;
    bool written = false;
    for (const auto& entry : std::filesystem::directory_iterator(videos)) {
        written = written || entry.path().extension() == ".mp3";
    }
    ok = Check(written, "an MP3 is in the videos folder") && ok;
    form.B2Click();
    return Check(form.close(), "the window closes") && ok;
}

bool CheckRestored(palomix::TMainForm1& form, const std::string& videos) {
    bool ok = Check(form.Marks().english, "English is still chosen");
    ok = Check(form.Core().SelectedSettingsRow() == MusicRow(form), "music.ini is chosen") && ok;
    ok = Check(form.BrowserEdit1->Path() == videos, "the output folder is kept") && ok;
    return Check(form.close(), "the window closes") && ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "window") {
        palomix::MainFormEnvironment environment;
        environment.messages = std::make_shared<DefaultAnswerSink>();
        return palomix::RunWindowProgram(argc - 1, argv + 1, std::move(environment));
    }
    if (!((mode == "convert" && argc == 4) || (mode == "check" && argc == 3))) {
        std::fprintf(stderr, "usage: %s convert INPUT VIDEOS | check VIDEOS | window [FILE...]\n",
                     argv[0]);
        return 2;
    }
    palomix::PalomixApplication application(argc, argv);
    palomix::PalomixApplication::setQuitOnLastWindowClosed(false);
    const auto sink = std::make_shared<PrintingSink>();
    palomix::MainFormEnvironment environment;
    environment.messages = sink;
    palomix::TMainForm1 form(std::move(environment));
    form.show();
    form.FormActivate();
    const bool ok =
        mode == "convert" ? Convert(form, argv[2], argv[3]) : CheckRestored(form, argv[2]);
    return ok && sink->shown == 0 ? 0 : 1;
}
