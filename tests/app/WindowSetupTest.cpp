// How the window sets itself up around the user: an installed copy's places, a position that
// stays on a screen, the language of the first start, the keyboard and the folder dialog,
// screen readers, Qt's own texts in the language, the About box, message boxes' titles, and
// openers that fail.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include "app/AboutBox.h"
#include "app/Captions.h"
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

TEST_F(WindowSetupTest, TheFirstStartFollowsTheSystemsLanguageAndASavedChoiceWins) {
    // What the window starts in, by what the state file keeps and what the system speaks.
    struct Start {
        std::string state;  // the state file's text ("" for none)
        std::string locale;
        Language language;
    };
    const std::vector<Start> starts = {
        {"", "ja_JP.UTF-8", Language::Japanese},
        {"", "en_US.UTF-8", Language::English},
        {"", "de_DE", Language::English},
        {"", "C", Language::Japanese},  // the system's language cannot be told
        {"", "", Language::Japanese},
        {"[SET]\nB1=1\nB2=0\n", "en_US.UTF-8", Language::Japanese},
        {"[SET]\nB1=0\nB2=1\n", "ja_JP.UTF-8", Language::English},
        {"[SET]\nMC1=1\n", "en_US.UTF-8", Language::English},  // other keys are no choice
    };
    for (const Start& start : starts) {
        std::filesystem::remove(StatePath());
        if (!start.state.empty()) {
            WriteState(start.state);
        }
        systemLocale_ = start.locale;
        const std::string title(CaptionsFor(start.language).windowCaption);
        // Before the restore already, so that the first picture is in that language.
        TMainForm1& form = MakeForm();
        EXPECT_EQ(form.windowTitle().toStdString(), title) << start.locale << start.state;
        form.FormActivate();
        EXPECT_EQ(form.Marks().Current(), start.language) << start.locale << start.state;
        EXPECT_EQ(form.windowTitle().toStdString(), title);
        // The user's switch stays, and is the saved choice from then on.
        form.B1Click();
        ASSERT_TRUE(form.FormClose());
        form_.reset();
        systemLocale_ = "en_US.UTF-8";
        EXPECT_EQ(Restored().Marks().Current(), Language::Japanese) << start.locale;
        form_.reset();
    }
}

TEST_F(WindowSetupTest, IconOnlyControlsHaveAccessibleNamesInBothLanguages) {
    TMainForm1& form = Restored();
    form.show();
    ProcessPending();
    for (const Language language : {Language::Japanese, Language::English}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        // Every control a user can press, type into or pick from is named to screen readers.
        for (QWidget* control : form.findChildren<QWidget*>()) {
            const bool operable = qobject_cast<QAbstractButton*>(control) != nullptr ||
                                  qobject_cast<QComboBox*>(control) != nullptr ||
                                  qobject_cast<QLineEdit*>(control) != nullptr ||
                                  (qobject_cast<QAbstractItemView*>(control) != nullptr &&
                                   qobject_cast<QHeaderView*>(control) == nullptr);
            if (!operable || !control->isVisibleTo(&form)) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << control->metaObject()->className() << " " << control->objectName().toStdString();
        }
        // The folder button says what it does, in the window's language.
        EXPECT_EQ(form.BrowserEdit1->BrowseButton().accessibleName().toStdString(),
                  CaptionsFor(language).folderButton);
    }
}

// The darkest of the pixels of the widget as drawn (0 black, 255 white).
int Darkest(QWidget& widget) {
    const QImage picture = widget.grab().toImage();
    int darkest = 255;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            darkest = std::min(darkest, qGray(picture.pixel(x, y)));
        }
    }
    return darkest;
}

TEST_F(WindowSetupTest, TheStopButtonsCaptionIsGreyedWhileItCannotBePressed) {
    TMainForm1& form = Ready(kHang);
    form.show();
    ProcessPending();
    ASSERT_FALSE(form.Button1->isEnabled());
    const int idle = Darkest(*form.Button1);
    form.FormDropFiles({scratch_.Write("in/a.avi", "a")});
    ASSERT_TRUE(form.Button1->isEnabled());
    const int converting = Darkest(*form.Button1);
    EXPECT_LT(converting, 64);  // a black caption
    EXPECT_GT(idle, converting + 48) << idle << " " << converting;
}

TEST_F(WindowSetupTest, TheFolderDialogTakesATypedPathAndReachesItAtOnceFromTheKeyboard) {
    TMainForm1& form = Restored();
    form.BrowserEdit1->SetPath(scratch_.MakeFolder("before"));
    form.show();
    QApplication::setActiveWindow(&form);
    ProcessPending();
    const std::string typed = scratch_.MakeFolder("typed here/でも");
    bool offered = false;
    WhenAModalWindowOpens([&](QWidget& dialog) {
        // The path field has the focus, holding the folder shown, chosen to be typed over.
        ASSERT_TRUE(WaitUntil([&] {
            auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
            return edit != nullptr && edit->window() == &dialog;
        })) << "no path field has the focus";
        auto& edit = *qobject_cast<QLineEdit*>(QApplication::focusWidget());
        offered = edit.selectedText().toStdString() == scratch_.Path("before");
        Type(QString::fromStdString(typed));
        Key(edit, Qt::Key_Return);
    });
    form.BrowserEdit1->setFocus();
    Key(*form.BrowserEdit1, Qt::Key_Return);
    EXPECT_TRUE(offered);
    EXPECT_EQ(form.BrowserEdit1->Path(), typed);
}

TEST_F(WindowSetupTest, MessageBoxesAreTitledAsTheWindowInItsLanguage) {
    realBoxes_ = true;
    openFailure_ = OpenFailure{OpenFailure::Kind::NotStarted, ENOENT};
    TMainForm1& form = Restored();
    for (const Language language : {Language::English, Language::Japanese}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        QString title;
        WhenAModalWindowOpens([&title](QWidget& box) {
            title = box.windowTitle();
            Key(box, Qt::Key_Escape);
        });
        form.S1Click();  // the settings file cannot be opened: a message says so
        ASSERT_TRUE(WaitUntil([&] { return !title.isEmpty(); }));
        EXPECT_EQ(title.toStdString(), CaptionsFor(language).windowCaption);
    }
}

}  // namespace
}  // namespace palomix::testing
