// What the window tests share: a program folder of their own with settings files whose
// commands run the test helper programs, a message sink and an opener that record instead of
// showing or starting anything, and a wait that lets the event loop run.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/DesktopSession.h"
#include "app/MainForm1.h"
#include "app/MessageSink.h"
#include "app/StringGrid.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

// Points and texts in test messages as they read.
inline void PrintTo(const QPoint& point, std::ostream* out) {
    *out << "(" << point.x() << ", " << point.y() << ")";
}
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace palomix::testing {

inline std::string HelperPath(const std::string& name) {
    return std::string(PALOMIX_TEST_HELPER_DIR) + "/test-helper-" + name;
}

// Runs the event loop until the condition holds or the time is up; true when it holds.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets every event that is already queued run.
inline void ProcessPending() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// Runs `act` on the next modal window that opens (a message box, a dialog), from the event
// loop that window runs.
inline void WhenAModalWindowOpens(std::function<void(QWidget&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (QWidget* window = QApplication::activeModalWidget(); window && window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(*window);
        }
    });
    timer->start();
}

// A key pressed and released on the widget, as the keyboard sends it.
inline void Key(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                const QString& text = {}) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, modifiers, text);
        QCoreApplication::sendEvent(&widget, &event);
    }
}

// The text typed, character by character, into the widget that has the keyboard's focus.
inline void Type(const QString& text) {
    for (const QChar character : text) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        Key(*focus, 0, Qt::NoModifier, QString(character));
    }
}

// The user picks a row in a selector.
inline void Pick(TMultiColComboBox& box, int index) {
    box.setCurrentIndex(index);
    emit box.activated(index);
}

// Records messages and questions; answers each question with the next of `answers`, or with
// its default answer when none is left.
class RecordingSink final : public MessageSink {
public:
    void ShowMessage(QWidget* /*owner*/, const QString& text) override {
        texts.push_back(text.toStdString());
        if (onShow) {
            onShow(texts.back());
        }
    }
    int Ask(QWidget* /*owner*/, const Question& question) override {
        questions.push_back(question);
        if (onAsk) {
            onAsk(question);
        }
        if (answers.empty()) {
            return question.defaultAnswer;
        }
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<std::string> texts;
    std::vector<Question> questions;
    std::vector<int> answers;
    std::function<void(const std::string&)> onShow;
    std::function<void(const Question&)> onAsk;
};

// A desktop that writes down what the window asks of it: notices, and each change of the sleep
// lock and of the progress shown. A power request is written down and, with `refusal` set,
// refused with it as the reason.
struct DesktopLog {
    std::vector<std::pair<std::string, std::string>> notices;  // title, body
    std::vector<bool> awake;
    std::vector<std::optional<double>> progress;
    std::vector<PowerAction> power;
    std::string refusal;
};

class RecordingDesktop final : public DesktopSession {
public:
    explicit RecordingDesktop(std::shared_ptr<DesktopLog> log) : log_(std::move(log)) {}

    void Notify(const std::string& title, const std::string& body) override {
        log_->notices.emplace_back(title, body);
    }
    void KeepAwake(bool on) override {
        if (log_->awake.empty() || log_->awake.back() != on) {
            log_->awake.push_back(on);
        }
    }
    void ShowProgress(std::optional<double> share) override {
        if (log_->progress.empty() || log_->progress.back() != share) {
            log_->progress.push_back(share);
        }
    }
    void Power(PowerAction action, std::function<void(const std::string&)> failed) override {
        log_->power.push_back(action);
        if (!log_->refusal.empty()) {
            failed(log_->refusal);
        }
    }

private:
    std::shared_ptr<DesktopLog> log_;
};

inline std::function<std::unique_ptr<DesktopSession>(QWidget&)> Recording(
    std::shared_ptr<DesktopLog> log) {
    return [log](QWidget&) { return std::make_unique<RecordingDesktop>(log); };
}

class ScratchFolder {
public:
    ScratchFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("palomix-app-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& relative = {}) const {
        return relative.empty() ? path_.string() : (path_ / relative).string();
    }
    std::string MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(path_ / relative);
        return Path(relative);
    }
    std::string Write(const std::string& relative, const std::string& text) const {
        const std::filesystem::path file = path_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The row positions of the command list of a.ini, the first settings file.
enum ACommand { kProbe = 0, kFail = 1, kHang = 2, kShort = 3, kMissing = 4, kWriteHang = 5 };

// A program folder with four settings files, a.ini to d.ini, and a window over it.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : programFolder_(scratch_.MakeFolder("program")) {
        // a.ini: commands that run the helper programs.
        scratch_.Write("program/convert_settings/a.ini",
                       "[Info]\r\nTitle=設定A\r\nDescription=説明A\r\nTitleE=Settings A\r\n"
                       "DescriptionE=Desc \"A\"\r\n"
                       "[Item0]\r\nTitle=調べる\r\nTitleE=Probe\r\nCommand0=" +
                           HelperPath("probe") +
                           " \"<%OutputFile%>.probe\"\r\n"
                           "[Item1]\r\nTitle=失敗\r\nTitleE=Fail\r\nCommand0=" +
                           HelperPath("exitcode") +
                           " 3\r\n"
                           "[Item2]\r\nTitle=待つ\r\nTitleE=Hang\r\nCommand0=" +
                           HelperPath("sleep") +
                           "\r\n"
                           "[Item3]\r\nTitle=短い\r\nTitleE=Short\r\nCommand0=" +
                           HelperPath("sleep") +
                           " 1\r\n"
                           "[Item4]\r\nTitle=無い\r\nTitleE=Missing\r\n"
                           "Command0=/nonexistent/palomix-converter x\r\n"
                           "[Item5]\r\nTitle=書いて待つ\r\nTitleE=Write and hang\r\nCommand0=" +
                           HelperPath("sleep") + " \"<%OutputFile%>.part\"\r\n");
        scratch_.Write("program/convert_settings/b.ini",
                       "[Info]\nTitle=設定B\nTitleE=Settings B\n[Item0]\nTitle=B0\nTitleE=B0e\n");
        scratch_.Write("program/convert_settings/c.ini",
                       "[Info]\nTitle=設定C\nTitleE=Settings C\n[Item0]\nTitle=C0\nTitleE=C0e\n");
        scratch_.Write("program/convert_settings/d.ini",
                       "[Info]\nTitle=設定D\nTitleE=Settings D\n"
                       "[Item0]\nTitle=D0\nTitleE=D0e\n[Item1]\nTitle=D1\nTitleE=D1e\n"
                       "[Item2]\nTitle=D2\nTitleE=D2e\n[Item3]\nTitle=D3\nTitleE=D3e\n");
    }

    ~WindowTest() override { form_.reset(); }

    TMainForm1& MakeForm(MainFormEnvironment environment = {}) {
        if (environment.programFolder.empty()) {
            environment.programFolder = programFolder_;
        }
        if (environment.executablePath.empty()) {
            environment.executablePath = programFolder_ + "/palomix";
        }
        // Recorded, unless the test wants the real boxes and its keys and clicks to answer them.
        environment.messages = realBoxes_ ? MessageBoxSink() : messages_;
        // A system whose language cannot be told, unless the test names one: the window starts
        // in Japanese then, as it always did.
        if (!environment.systemLocale) {
            environment.systemLocale = systemLocale_;
        }
        // The run logs go to the scratch folder, never to the user's state folder.
        if (!environment.runLogFolder) {
            environment.runLogFolder = scratch_.Path("state/logs");
        }
        // Watched folders keep their records here, not in the user's state folder.
        if (environment.watchRecordFolder.empty()) {
            environment.watchRecordFolder = scratch_.Path("watch-records");
        }
        // The desktop of the machine running the tests is left alone unless a test asks.
        if (!environment.makeDesktop) {
            environment.makeDesktop = [](QWidget&) {
                return std::make_unique<QuietDesktopSession>();
            };
        }
        environment.openWithDefault = [this](const std::string& target,
                                             const OpenFailureHandler& onFailure) {
            opened_.push_back(target);
            if (openFailure_ && onFailure) {
                onFailure(*openFailure_);
            }
        };
        form_ = std::make_unique<TMainForm1>(std::move(environment));
        return *form_;
    }

    // A window restored from the state file text given (none: no file).
    TMainForm1& Restored(const std::string& stateText = {}) {
        if (!stateText.empty()) {
            WriteState(stateText);
        }
        TMainForm1& form = MakeForm();
        form.FormActivate();
        return form;
    }

    void WriteState(const std::string& text) const { scratch_.Write("program/Palomix.ini", text); }

    std::string StatePath() const { return programFolder_ + "/Palomix.ini"; }

    // A window restored with the given command of a.ini chosen and outFolder_ as output.
    TMainForm1& Ready(ACommand command) {
        TMainForm1& form = Restored();
        Pick(*form.MultiComboBox2, command);
        form.BrowserEdit1->SetPath(outFolder_);
        return form;
    }

    static bool Idle(const TMainForm1& form) {
        return form.Core().JobCount() == 0 && !form.Core().RunActive() &&
               !form.Core().WaitingForProcess();
    }

    ScratchFolder scratch_;
    std::string programFolder_;
    std::string outFolder_ = scratch_.Path("out");
    std::shared_ptr<RecordingSink> messages_ = std::make_shared<RecordingSink>();
    bool realBoxes_ = false;    // the window shows real message boxes
    std::string systemLocale_;  // the system's locale name the window sees
    std::vector<std::string> opened_;
    std::optional<OpenFailure> openFailure_;  // every opening fails so
    std::unique_ptr<TMainForm1> form_;
};

// The paths of the window's jobs, in list order.
inline std::vector<std::string> JobPaths(const TMainForm1& form) {
    std::vector<std::string> paths;
    form.Core().VisitJobs([&paths](const JobView& job) { paths.emplace_back(job.path); });
    return paths;
}

// Sends a drag of the URLs over the middle of the widget, then the drop, to the window as the
// window system would; the drop must be accepted as a copy.
inline void DragAndDropUrls(TMainForm1& form, QWidget& over, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    const QPointF at = over.mapTo(&form, over.rect().center());
    QWindow* window = form.windowHandle();
    ASSERT_NE(window, nullptr);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    // Copied, never moved: a file manager told "moved" may delete the originals.
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
}

// A click of the left button on a row of the grid, in its fixed status column, with the keys
// held that are given.
inline void ClickRow(TMainForm1& form, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTableView& view = form.StringGrid2->FixedColumn();
    QWidget* viewport = view.viewport();
    const QPoint at = view.visualRect(view.model()->index(row, 0)).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          modifiers);
        QCoreApplication::sendEvent(viewport, &event);
    }
}

// A key pressed on the grid.
inline void PressKey(TMainForm1& form, int key, Qt::KeyboardModifiers modifiers = {}) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(form.StringGrid2, &event);
}

inline void DragAndDrop(TMainForm1& form, QWidget& over, const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    DragAndDropUrls(form, over, urls);
}

}  // namespace palomix::testing
