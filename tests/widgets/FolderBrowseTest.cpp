#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "controllogic/DialogPlacement.h"
#include "controllogic/FolderPathText.h"
#include "widgets/FolderBrowseDialog.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/FolderBrowsePicture.h"

namespace palomix {
namespace {

using ::testing::ElementsAre;

// A dialog that records what happens to it and answers as the test says.
class ScriptedDialog final : public TFolderBrowseDialog {
public:
    ScriptedDialog(QWidget* owner, std::vector<std::string>& log, bool confirm, std::string choice)
        : TFolderBrowseDialog(owner), log_(log), confirm_(confirm), choice_(std::move(choice)) {
        log_.push_back("created");
    }
    ~ScriptedDialog() override { log_.push_back("destroyed"); }

    bool Execute() override {
        log_.push_back("execute with '" + SelectedFolder + "'");
        if (confirm_) {
            SelectedFolder = choice_;
        }
        return confirm_;
    }

private:
    std::vector<std::string>& log_;
    bool confirm_;
    std::string choice_;
};

struct BrowseFixture : ::testing::Test {
    void Answer(bool confirm, std::string choice = {}) {
        edit.SetDialogFactory([this, confirm, choice](QWidget* owner) {
            owners.push_back(owner);
            return std::make_unique<ScriptedDialog>(owner, log, confirm, choice);
        });
    }

    TFolderBrowseEdit edit;
    std::vector<std::string> log;
    std::vector<QWidget*> owners;
};

TEST_F(BrowseFixture, NewFieldHasItsDefaults) {
    EXPECT_EQ(edit.Path(), "");
    EXPECT_FALSE(edit.ReadOnly());
    EXPECT_FALSE(edit.StartWithLast());
    EXPECT_EQ(edit.StartFolder(), bfoDesktopExpanded);
    EXPECT_EQ(edit.Options(), (TBrowseOptions{doReturnFileSysDirs, doShowPath}));
}

TEST_F(BrowseFixture, ConfirmedChoiceReplacesThePath) {
    Answer(true, "/media/out");
    edit.DoOnBrowseClick();
    EXPECT_EQ(edit.Path(), "/media/out");
    EXPECT_THAT(log, ElementsAre("created", "execute with ''", "destroyed"));
    EXPECT_THAT(owners, ElementsAre(&edit));  // a field without a window owns its dialog
}

TEST_F(BrowseFixture, CancelLeavesThePath) {
    edit.SetPath("/keep me");
    edit.SetStartWithLast(true);
    Answer(false);
    edit.DoOnBrowseClick();
    EXPECT_EQ(edit.Path(), "/keep me");
    EXPECT_THAT(log, ElementsAre("created", "execute with '/keep me'", "destroyed"));
}

TEST_F(BrowseFixture, PathIsPreselectedOnlyWithStartWithLast) {
    edit.SetPath("/no/such/folder");  // a missing folder is shown and passed on unchanged
    EXPECT_EQ(edit.Path(), "/no/such/folder");
    Answer(false);
    edit.DoOnBrowseClick();
    edit.SetStartWithLast(true);
    edit.DoOnBrowseClick();
    EXPECT_THAT(log, ElementsAre("created", "execute with ''", "destroyed", "created",
                                 "execute with '/no/such/folder'", "destroyed"));
}

TEST_F(BrowseFixture, OnExecuteSeesTheSetUpDialogBeforeItShows) {
    edit.SetStartWithLast(true);
    edit.SetPath("/a");
    edit.SetStartFolder(bfoHome);
    edit.SetOptions({doStatusText, doShowFiles});
    Answer(true, "/b");
    edit.OnExecute = [this](TFolderBrowseEdit& field, TFolderBrowseDialog& dialog) {
        EXPECT_EQ(&field, &edit);
        EXPECT_EQ(dialog.SelectedFolder, "/a");
        EXPECT_EQ(dialog.StartFolder, bfoHome);
        EXPECT_EQ(dialog.Options, (TBrowseOptions{doStatusText, doShowFiles}));
        dialog.SelectedFolder = "/from handler";
        log.push_back("on execute");
    };
    edit.DoOnBrowseClick();
    EXPECT_THAT(log,
                ElementsAre("created", "on execute", "execute with '/from handler'", "destroyed"));
    EXPECT_EQ(edit.Path(), "/b");
}

TEST_F(BrowseFixture, ExceptionInOnExecuteStillDestroysTheDialog) {
    edit.SetPath("/before");
    Answer(true, "/after");
    edit.OnExecute = [](TFolderBrowseEdit&, TFolderBrowseDialog&) {
        throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(edit.DoOnBrowseClick(), std::runtime_error);
    EXPECT_THAT(log, ElementsAre("created", "destroyed"));
    EXPECT_EQ(edit.Path(), "/before");
}

TEST_F(BrowseFixture, ReadOnlyFieldIgnoresTypingButItsButtonStillBrowses) {
    edit.SetReadOnly(true);
    edit.SetPath("/out");
    edit.show();
    edit.setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
    QCoreApplication::sendEvent(&edit, &press);
    QKeyEvent backspace(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(&edit, &backspace);
    EXPECT_EQ(edit.Path(), "/out");

    Answer(true, "/chosen");
    edit.BrowseButton().click();
    EXPECT_EQ(edit.Path(), "/chosen");
}

TEST_F(BrowseFixture, ButtonSitsInsideTheRightEndWithTheFolderPicture) {
    edit.resize(380, 20);
    edit.show();
    QApplication::processEvents();
    const QToolButton& button = edit.BrowseButton();
    EXPECT_EQ(button.width(), 18);
    EXPECT_LE(button.geometry().right(), edit.width() - 1);
    EXPECT_GE(button.geometry().right(), edit.width() - 4);
    EXPECT_EQ(button.iconSize(), QSize(13, 14));
    const QImage picture = FolderPicture().toImage();
    EXPECT_EQ(picture.size(), QSize(13, 14));
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(picture.pixelColor(6, 9).alpha(), 255);
}

TEST(ChosenFolderText, DropsTrailingSeparatorsExceptAtARoot) {
    EXPECT_EQ(ChosenFolderText("/media/music/", PathStyle::Posix), "/media/music");
    EXPECT_EQ(ChosenFolderText("/", PathStyle::Posix), "/");
    EXPECT_EQ(ChosenFolderText("//", PathStyle::Posix), "/");
    EXPECT_EQ(ChosenFolderText("/a b/c", PathStyle::Posix), "/a b/c");
    EXPECT_EQ(ChosenFolderText(R"(C:\)", PathStyle::Windows), R"(C:\)");
    EXPECT_EQ(ChosenFolderText(R"(D:\video\)", PathStyle::Windows), R"(D:\video)");
    EXPECT_EQ(ChosenFolderText("D:/video/", PathStyle::Windows), "D:/video");
    EXPECT_EQ(ChosenFolderText(R"(\\server\share\)", PathStyle::Windows), R"(\\server\share)");
}

TEST(ShortenedPathText, KeepsBothEndsOfALongPathWithinTheLimit) {
    EXPECT_EQ(ShortenedPathText("/short/path"), "/short/path");
    const std::string exact(40, 'a');
    EXPECT_EQ(ShortenedPathText(exact), exact);
    const std::string shortened = ShortenedPathText("/home/user/" + std::string(40, 'x') + "/end");
    EXPECT_EQ(shortened.size(), 40u);
    EXPECT_EQ(shortened.substr(0, 6), "/home/");
    EXPECT_EQ(shortened.substr(36), "/end");
    EXPECT_NE(shortened.find("..."), std::string::npos);
    // Counted in characters: a multi-byte character is never cut.
    const std::string japanese =
        ShortenedPathText("/" + std::string(60, 'a') + "/変換後のフォルダ");
    EXPECT_EQ(QString::fromStdString(japanese).size(), 40);
    EXPECT_EQ(japanese.substr(japanese.size() - 24), "変換後のフォルダ");
}

TEST(CenterDialog, CentresOverTheTargetAndStaysOnTheScreen) {
    const ScreenRect screen{0, 0, 1024, 768};
    // Centred, halves rounded toward zero.
    EXPECT_EQ(CenterDialog({20, 20, 425, 520}, 301, 201, screen), (ScreenPoint{72, 169}));
    // Whole screen as target.
    EXPECT_EQ(CenterDialog(screen, 400, 300, screen), (ScreenPoint{312, 234}));
    // A window partly below and right of the screen: the dialog comes back inside it.
    EXPECT_EQ(CenterDialog({900, 600, 1305, 1100}, 400, 300, screen), (ScreenPoint{624, 468}));
    // A dialog taller than the window near the bottom ends with the window's bottom.
    EXPECT_EQ(CenterDialog({100, 500, 505, 700}, 300, 400, screen), (ScreenPoint{152, 300}));
    // Partly above and left of the screen: pulled to its edges.
    EXPECT_EQ(CenterDialog({-300, -200, 100, 100}, 500, 400, screen), (ScreenPoint{0, 0}));
}

// The real dialog, answered by a timer once it is up.
TEST(FolderBrowseDialog, ChoosesAnExistingFolderInTheFileSystemChooser) {
    const QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    ASSERT_TRUE(QDir(temp.path()).mkpath("chosen folder"));
    const QString target = QDir(temp.path()).filePath("chosen folder");

    TFolderBrowseDialog dialog;
    dialog.SelectedFolder = temp.path().toStdString();
    dialog.Options = {doReturnFileSysDirs, doStatusText, doShowPath};
    dialog.StatusText = "Pick one";
    dialog.CaptionTitle = "Output folder";
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        sawDialog = true;
        EXPECT_EQ(window->windowTitle(), "Output folder");
        auto* chooser = window->findChild<QFileDialog*>();
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(chooser->testOption(QFileDialog::ShowDirsOnly));
        bool statusShown = false;
        for (const QLabel* label : window->findChildren<QLabel*>()) {
            statusShown = statusShown || label->text() == "Pick one";
        }
        EXPECT_TRUE(statusShown);
        const auto* nameEdit = chooser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(nameEdit, nullptr);
        EXPECT_FALSE(nameEdit->isVisible()) << "without doAllowEdit there is no edit field";
        chooser->setDirectory(temp.path());
        chooser->selectFile(target);
        QMetaObject::invokeMethod(chooser, "accept");
    });
    ASSERT_TRUE(dialog.Execute());
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(dialog.SelectedFolder, QDir::toNativeSeparators(target).toStdString());
    EXPECT_EQ(dialog.DisplayName(), "chosen folder");
}

TEST(FolderBrowseDialog, OpensCentredOverTheActiveWindow) {
    QWidget host;
    host.setGeometry(150, 40, 404, 465);
    host.show();
    host.activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &host);

    TFolderBrowseDialog dialog(&host);
    QRect placed;
    QTimer::singleShot(0, [&placed] {
        if (QWidget* window = QApplication::activeModalWidget()) {
            placed = window->frameGeometry();
            window->close();
        }
    });
    EXPECT_FALSE(dialog.Execute());
    ASSERT_FALSE(placed.isNull());
    const ScreenRect screen{0, 0, QApplication::primaryScreen()->geometry().width(),
                            QApplication::primaryScreen()->geometry().height()};
    const QRect frame = host.frameGeometry();
    const ScreenPoint expected =
        CenterDialog({frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1},
                     placed.width(), placed.height(), screen);
    EXPECT_EQ(placed.topLeft(), QPoint(expected.x, expected.y));
    EXPECT_GE(placed.left(), 0);
    EXPECT_LE(placed.right(), screen.right - 1);
}

TEST(FolderBrowseDialog, CancelKeepsTheSelectedFolder) {
    TFolderBrowseDialog dialog;
    dialog.SelectedFolder = "/no/such/folder";
    QTimer::singleShot(0, [] {
        if (QWidget* window = QApplication::activeModalWidget()) {
            window->close();
        }
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.SelectedFolder, "/no/such/folder");
}

}  // namespace
TEST(FolderBrowseEditTest, KeysOpenTheDialogAndAnEditableFieldKeepsItsTypingKeys) {
    std::vector<std::string> log;
    TFolderBrowseEdit edit;
    edit.SetDialogFactory([&log](QWidget* owner) {
        return std::make_unique<ScriptedDialog>(owner, log, false, std::string());
    });
    const auto press = [&edit](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, key == Qt::Key_Space ? " " : "");
        QApplication::sendEvent(&edit, &event);
    };
    edit.SetReadOnly(false);
    press(Qt::Key_Space);
    press(Qt::Key_Return);
    EXPECT_EQ(edit.text().toStdString(), " ");
    EXPECT_TRUE(log.empty());
    press(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(log.size(), 3u);  // created, shown, destroyed
    edit.SetReadOnly(true);
    press(Qt::Key_Space);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(log.size(), 9u);
}

}  // namespace palomix
