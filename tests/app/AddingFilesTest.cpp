// Files into the queue without dragging: the File menu's dialogs, the paths of the command line,
// and the hand-over from a later start of the program over the user's local socket, which are
// converted only once the user says so.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>

#include <future>

#include "app/FileMenu.h"
#include "app/InstanceHandover.h"
#include "app/JobGridModel.h"
#include "app/QueueTexts.h"
#include "app/RunStatusStrip.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

using namespace std::chrono_literals;

// Answers the next file dialog, once it is open, as the user would.
void AnswerDialog(std::function<void(QFileDialog&)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        QFileDialog* dialog = nullptr;
        WaitUntil([&] {
            dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            return dialog != nullptr;
        });
        if (dialog != nullptr) {
            answer(*dialog);
        }
    });
}

using AddingFilesTest = WindowTest;

TEST_F(AddingFilesTest, TheFileMenuTakesTheChosenFilesOrFolderAsADropAndKeepsTheFolder) {
    const std::string blank = scratch_.Write("in/clip one.avi", "1");
    const std::string japanese = scratch_.Write("in/日本 語.avi", "2");
    scratch_.Write("in/other.avi", "not chosen");
    const std::string inFolder = scratch_.Write("more/D/x.avi", "3");
    TMainForm1& form = Ready(kHang);
    AnswerDialog([&](QFileDialog& dialog) {
        dialog.setDirectory(QString::fromStdString(scratch_.Path("in")));
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("\"clip one.avi\" \"日本 語.avi\""));
        static_cast<QDialog&>(dialog).accept();
    });
    form.Files().F1->trigger();
    ASSERT_EQ(form.Core().JobCount(), 2);
    EXPECT_EQ(form.Core().Job(0).path, blank);
    EXPECT_EQ(form.Core().Job(1).path, japanese);
    EXPECT_TRUE(form.Core().RunActive());
    EXPECT_EQ(form.Files().Folder(), scratch_.Path("in"));

    AnswerDialog([&](QFileDialog& dialog) {
        dialog.setDirectory(QString::fromStdString(scratch_.Path("more/D")));
        static_cast<QDialog&>(dialog).accept();
    });
    form.Files().F2->trigger();
    ASSERT_EQ(form.Core().JobCount(), 3);
    EXPECT_EQ(form.Core().Job(2).path, inFolder);
    // Cancelled: nothing.
    AnswerDialog([](QFileDialog& dialog) { dialog.reject(); });
    form.Files().F1->trigger();
    EXPECT_EQ(form.Core().JobCount(), 3);

    // The next start opens the dialogs where the last one ended.
    form.Button1Click();
    form_.reset();
    EXPECT_EQ(Restored().Files().Folder(), scratch_.Path("more"));
}

TEST_F(AddingFilesTest, PathsGivenBeforeTheRestoreWaitForItAndAreAskedAbout) {
    const std::string file = scratch_.Write("in/a.avi", "a");
    TMainForm1& form = MakeForm();
    form.OpenPaths({file});
    EXPECT_EQ(form.Core().JobCount(), 0);
    WriteState("[SET]\nMC1=0\nMC2=" + std::to_string(kProbe) + "\nBE1=" + outFolder_ + "\n");
    form.FormActivate();
    EXPECT_EQ(form.Core().Job(0).path, file);
    ProcessPending();
    ASSERT_EQ(messages_->questions.size(), 1U);  // answered "Yes"
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/a.probe"));
}

TEST_F(AddingFilesTest, FilesFromOutsideTheWindowAreConvertedOnlyWhenTheUserSaysSo) {
    TMainForm1& form = Ready(kProbe);
    form.show();
    ProcessPending();
    const std::string first = scratch_.Write("in/a.avi", "a");
    const std::string second = scratch_.Write("in/b.avi", "b");
    // "No": both queued, one question for both, nothing converted.
    messages_->answers = {kKeepArrivalsWaiting};
    form.OpenPaths({first});
    form.OpenPaths({second});
    EXPECT_EQ(JobPaths(form), (std::vector<std::string>{first, second}));
    EXPECT_FALSE(form.Core().RunActive());
    ProcessPending();
    ASSERT_EQ(messages_->questions.size(), 1U);
    EXPECT_EQ(messages_->questions[0].text.toStdString(),
              "2 件のファイルを 調べる で " + outFolder_ + " に変換しますか?");
    EXPECT_EQ(messages_->questions[0].escapeAnswer, kKeepArrivalsWaiting);
    EXPECT_FALSE(form.Core().RunActive());
    EXPECT_EQ(form.RunStatus1->Status().toStdString(),
              "2 件が待機中: 一覧の右クリックメニューから変換を開始できます");
    EXPECT_FALSE(std::filesystem::exists(outFolder_ + "/a.probe"));

    // A drop starts at once, as ever, and takes the waiting files along.
    form.FormDropFiles({scratch_.Write("in/c.avi", "c")});
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_EQ(messages_->questions.size(), 1U);
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/a.probe"));

    // "Yes" converts them; in English the question says so in English.
    form.B2Click();
    Pick(*form.MultiComboBox2, kProbe);
    form.OpenPaths({scratch_.Write("in/d.avi", "d")});
    ProcessPending();
    ASSERT_EQ(messages_->questions.size(), 2U);
    EXPECT_EQ(messages_->questions[1].text.toStdString(),
              "Convert 1 files with Probe into " + outFolder_ + "?");
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
    EXPECT_TRUE(std::filesystem::exists(outFolder_ + "/d.probe"));
}

TEST_F(AddingFilesTest, FilesFromOutsideDuringARunWaitAsideForTheAnswer) {
    TMainForm1& form = Ready(kHang);
    const std::string converting = scratch_.Write("in/a.avi", "a");
    form.FormDropFiles({converting});
    ASSERT_TRUE(form.Core().RunActive());
    messages_->answers = {kKeepArrivalsWaiting};
    const std::string later = scratch_.Write("in/b.avi", "b");
    form.OpenPaths({later});
    ProcessPending();
    ASSERT_EQ(messages_->questions.size(), 1U);
    // Not taken up by the run: they join the list once it has ended.
    EXPECT_EQ(JobPaths(form), std::vector<std::string>{converting});
    form.Button1Click();
    ASSERT_TRUE(WaitUntil([&] { return !form.Core().RunActive(); }));
    ProcessPending();
    EXPECT_EQ(JobPaths(form), std::vector<std::string>{later});
    EXPECT_FALSE(form.Core().RunActive());
}

// The current folder of the process, for as long as it lives.
class CurrentFolderScope {
public:
    explicit CurrentFolderScope(const std::string& folder)
        : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentFolderScope() { std::filesystem::current_path(before_); }
    CurrentFolderScope(const CurrentFolderScope&) = delete;
    CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

private:
    std::filesystem::path before_;
};

TEST_F(AddingFilesTest, APathSpelledAnyWayGivesTheSameRowByADropAndByTheCommandLine) {
    const std::string file = scratch_.Write("in/F/z.avi", "z");
    const std::string spelled = scratch_.Path("in/./F/../F/");
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    DragAndDrop(form, *form.Label4, {spelled});
    ASSERT_TRUE(WaitUntil([&] { return form.Core().JobCount() == 1; }));
    {
        // A later start in another folder means its relative paths from there.
        const CurrentFolderScope there(scratch_.Path("in"));
        const std::vector<std::string> arguments =
            PathsFromArguments({"--", spelled, "", "./F/../F//"});
        EXPECT_EQ(arguments,
                  (std::vector<std::string>{scratch_.Path("in/F"), scratch_.Path("in/F")}));
        form.OpenPaths(arguments);
    }
    ProcessPending();  // asked, and answered "Yes"
    EXPECT_EQ(JobPaths(form), (std::vector<std::string>{file, file, file}));
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(form.GridCell(kFileNameColumn, row), "z.avi");
        EXPECT_EQ(form.GridCell(kFullPathColumn, row), file);
    }
}

TEST(InstanceHandoverTest, PathsOfAnyBytesReachTheWindowAndALaterStartNeverWaitsLong) {
    const ScratchFolder scratch;
    const QString name = QString::fromStdString(scratch.Path("handover"));
    scratch.Write("handover", "left by a window that was killed");
    std::vector<std::vector<std::string>> received;
    const HandoverServer server(
        name, [&](std::vector<std::string> paths) { received.push_back(std::move(paths)); });
    ASSERT_TRUE(server.Listening()) << server.ErrorText().toStdString();

    const std::vector<std::string> paths = {"/v/clip one.avi", "/v/日本 語.mp4", "/v/caf\xE9.wav",
                                            "/v/new\nline \"$x\";.avi"};
    for (const std::vector<std::string>& sent : {paths, std::vector<std::string>{}}) {
        auto taken =
            std::async(std::launch::async, [&] { return HandToRunningWindow(name, sent, 2s); });
        ASSERT_TRUE(WaitUntil([&] { return taken.wait_for(0s) == std::future_status::ready; }));
        EXPECT_TRUE(taken.get());
        ASSERT_TRUE(WaitUntil([&] { return !received.empty(); }));
        EXPECT_EQ(received.back(), sent);
        received.clear();
    }

    // A message that is not one is cut off, and nothing reaches the window.
    auto cut = std::async(std::launch::async, [&] {
        QLocalSocket socket;
        socket.connectToServer(name);
        socket.waitForConnected(1000);
        socket.write("GET / HTTP/1.0\r\n\r\n");
        socket.waitForBytesWritten(1000);
        return socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(2000);
    });
    ASSERT_TRUE(WaitUntil([&] { return cut.wait_for(0s) == std::future_status::ready; }));
    EXPECT_TRUE(cut.get());
    ProcessPending();
    EXPECT_TRUE(received.empty());

    // No window: a later start gives up in its time.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HandToRunningWindow(QString::fromStdString(scratch.Path("none")), paths, 300ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

    // Every part of a message waits for the rest.
    const QByteArray whole = EncodeHandover(paths);
    for (qsizetype size = 0; size < whole.size(); ++size) {
        EXPECT_FALSE(DecodeHandover(whole.left(size))) << size;
    }
    EXPECT_THROW(DecodeHandover(whole + "x"), std::invalid_argument);
}

}  // namespace
}  // namespace palomix::testing
