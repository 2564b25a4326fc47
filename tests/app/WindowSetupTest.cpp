// How the window sets itself up around the user: an installed copy's places, a position that
// stays on a screen, the keyboard, Qt's own texts in the language, the About box, and openers
// that fail.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QListWidget>

#include "app/AboutBox.h"
#include "app/FailureWindow.h"
#include "app/StringGrid.h"
#include "app/WindowPlacement.h"
#include "tests/app/AppTestSupport.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

using WindowSetupTest = WindowTest;

TEST_F(WindowSetupTest, AnInstalledCopyKeepsTheUsersStateSettingsAndOutputsInTheUsersFolders) {
    const std::string user = scratch_.Path("home/.config/palomix");  // not there yet
    const std::string mine = scratch_.Write("home/.config/palomix/convert_settings/mine.ini",
                                            "[Info]\nTitle=私の\n[Item0]\nTitle=M0\n");
    std::filesystem::remove(StatePath());
    ProgramPlaces places;
    places.programFolder = programFolder_;
    places.portable = false;
    places.stateFile = user + "/state/Palomix.ini";
    places.userSettingsFolder = user + "/convert_settings";
    places.defaultOutputFolder = scratch_.Path("home/Videos");
    MainFormEnvironment environment;
    environment.places = places;
    TMainForm1& form = MakeForm(std::move(environment));
    form.FormActivate();

    EXPECT_EQ(form.BrowserEdit1->Path(), places.defaultOutputFolder);
    ASSERT_EQ(form.ListBox1->count(), 5);
    EXPECT_EQ(form.ListBox1->item(4)->text().toStdString(), mine);  // after the shipped files
    Pick(*form.MultiComboBox1, 4);
    ASSERT_TRUE(form.FormClose());
    EXPECT_NE(ReadText(places.stateFile).find("MC1=4"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(StatePath()));

    form.H3Click();
    const std::string about = form.AboutBox()->Contents().toStdString();
    for (const std::string& part :
         {places.stateFile, programFolder_ + "/convert_settings", places.userSettingsFolder}) {
        EXPECT_NE(about.find(part), std::string::npos) << part << "\n" << about;
    }
}

TEST_F(WindowSetupTest, APositionOnNoScreenComesBackAtTheLayoutPlace) {
    EXPECT_EQ(Restored("[SET]\nM_LEFT=5000\nM_TOP=4000\n").pos(), QPoint(20, 20));
    EXPECT_EQ(Restored("[SET]\nM_LEFT=-2000\nM_TOP=100\n").pos(), QPoint(20, 20));

    const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize frame(406, 510);
    const QPoint layout(20, 20);
    EXPECT_EQ(RestoredFramePosition({2500, 300}, frame, screens, layout), QPoint(2500, 300));
    // Only a sliver of the title bar on a screen is not enough to grab it.
    EXPECT_EQ(RestoredFramePosition({3180, 300}, frame, screens, layout), layout);
    EXPECT_EQ(RestoredFramePosition({100, -15}, frame, screens, layout), layout);
    EXPECT_EQ(RestoredFramePosition({100, -7}, frame, screens, layout), QPoint(100, -7));
    EXPECT_EQ(RestoredFramePosition({-300, 1070}, frame, screens, layout), QPoint(-300, 1070));
    EXPECT_EQ(RestoredFramePosition({100, 100}, frame, {}, layout), layout);
}

// A key pressed on the widget, as the keyboard sends it.
void Press(QWidget& widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&widget, &press);
}

// A folder dialog that only counts how often it was shown.
class CountingDialog final : public TFolderBrowseDialog {
public:
    CountingDialog(QWidget* owner, int& shown) : TFolderBrowseDialog(owner), shown_(shown) {}
    bool Execute() override {
        ++shown_;
        return false;
    }

private:
    int& shown_;
};

TEST_F(WindowSetupTest, TheKeyboardReachesEveryControlAndTheFolderDialog) {
    TMainForm1& form = Restored();
    form.show();
    QApplication::setActiveWindow(&form);
    ProcessPending();
    form.StringGrid2->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return form.StringGrid2->hasFocus(); }, std::chrono::seconds(2)));
    Press(*form.StringGrid2, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.MultiComboBox1);
    Press(*form.MultiComboBox1, Qt::Key_Tab);
    Press(*form.MultiComboBox2, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.BrowserEdit1);

    int dialogs = 0;
    form.BrowserEdit1->SetDialogFactory(
        [&dialogs](QWidget* owner) { return std::make_unique<CountingDialog>(owner, dialogs); });
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Return, Qt::NoModifier}, std::pair{Qt::Key_Space, Qt::NoModifier},
          std::pair{Qt::Key_Down, Qt::AltModifier}, std::pair{Qt::Key_A, Qt::NoModifier},
          std::pair{Qt::Key_Down, Qt::NoModifier}}) {
        Press(*form.BrowserEdit1, key, modifiers);
    }
    EXPECT_EQ(dialogs, 3);

    EXPECT_EQ(form.S2->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    form.S2->trigger();
    ASSERT_NE(form.FailureWindow(), nullptr);
    EXPECT_TRUE(form.FailureWindow()->isVisible());
}

TEST_F(WindowSetupTest, QtsOwnTextsFollowTheLanguage) {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm")) {
        GTEST_SKIP() << "Qt's Japanese translation (qt6-translations-l10n) is not installed";
    }
    TMainForm1& form = Restored();
    const auto cancel = [] {
        return QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString();
    };
    EXPECT_EQ(cancel(), "キャンセル");
    form.B2Click();
    EXPECT_EQ(cancel(), "Cancel");
    form.B1Click();
    EXPECT_EQ(cancel(), "キャンセル");
    form_.reset();  // the window takes its translation along
    EXPECT_EQ(cancel(), "Cancel");
}

TEST_F(WindowSetupTest, TheAboutBoxAsksTheConverterOnceAndSaysWhenItIsMissing) {
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=1\n");
    form.H3Click();
    ASSERT_NE(form.AboutBox(), nullptr);
    // No cores folder in this program folder.
    ASSERT_TRUE(WaitUntil([&] {
        return form.AboutBox()->Contents().contains(QStringLiteral("ffmpeg in cores: not found"));
    }));

    const std::string ffmpeg =
        scratch_.Write("program/cores/ffmpeg",
                       "#!/bin/sh\necho \"ffmpeg version 9.9-test Copyright\"\n"
                       "echo \"configuration: --enable-gpl --enable-version3\"\n");
    ::chmod(ffmpeg.c_str(), 0755);
    TMainForm1& next = Restored("[SET]\nB1=1\nB2=0\n");
    next.H3Click();
    EXPECT_TRUE(next.AboutBox()->Contents().contains(QStringLiteral("cores の ffmpeg: 確認中")));
    ASSERT_TRUE(WaitUntil([&] {
        return next.AboutBox()->Contents().contains(
            QStringLiteral("cores の ffmpeg: 9.9-test (GPL バージョン 3 以降)"));
    }));
    next.B2Click();  // the box follows the language
    EXPECT_TRUE(next.AboutBox()->Contents().contains(
        QStringLiteral("ffmpeg in cores: 9.9-test (GPL version 3 or later)")));
}

TEST_F(WindowSetupTest, TheAboutBoxNamesTheLicenceInBothLanguages) {
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=1\n");
    form.H3Click();
    ASSERT_NE(form.AboutBox(), nullptr);
    EXPECT_TRUE(
        form.AboutBox()->Contents().contains(QStringLiteral("\nLicence: GPL-3.0-or-later\n")));
    form.B1Click();
    EXPECT_TRUE(
        form.AboutBox()->Contents().contains(QStringLiteral("\nライセンス: GPL-3.0-or-later\n")));
}

// A build given no web site neither offers its pages nor names one.
TEST_F(WindowSetupTest, WithoutAWebSiteTheHelpMenuAndTheAboutBoxNameNone) {
    MainFormEnvironment environment;
    environment.webSite = "";
    TMainForm1& form = MakeForm(std::move(environment));
    form.FormActivate();
    EXPECT_FALSE(form.H1->isVisible());
    EXPECT_FALSE(form.H2->isVisible());
    form.H3Click();
    EXPECT_FALSE(form.AboutBox()->Contents().contains(QStringLiteral("WEB")));
    form.B2Click();
    EXPECT_FALSE(form.AboutBox()->Contents().contains(QStringLiteral("Web site")));

    MainFormEnvironment given;
    given.webSite = "https://maker.site";
    TMainForm1& other = MakeForm(std::move(given));
    EXPECT_TRUE(other.H1->isVisible());
    EXPECT_TRUE(other.H2->isVisible());
    other.H3Click();
    EXPECT_TRUE(other.AboutBox()->Contents().contains(QStringLiteral("https://maker.site")));
}

TEST_F(WindowSetupTest, AFileOrPageThatCannotBeOpenedIsToldWithItsPath) {
    openFailure_ = OpenFailure{OpenFailure::Kind::NotStarted, ENOENT};
    TMainForm1& form = Restored();
    form.S1Click();
    ProcessPending();
    ASSERT_EQ(messages_->texts.size(), 1u);
    EXPECT_EQ(
        messages_->texts[0],
        programFolder_ +
            "/convert_settings/a.ini を開けませんでした。ファイルを開くためのプログラムを起動で"
            "きません (ファイルまたはフォルダがありません)。");
    openFailure_ = OpenFailure{OpenFailure::Kind::Failed, 4};
    form.B2Click();
    form.H1Click();
    ProcessPending();
    ASSERT_EQ(messages_->texts.size(), 2u);
    EXPECT_NE(messages_->texts[1].find("could not be opened: the program for opening it ended "
                                       "with code 4"),
              std::string::npos)
        << messages_->texts[1];
}

}  // namespace
}  // namespace palomix::testing
