// Not a test: makes the pictures of the window in docs/ from the real window on a real display:
// window-ja.png and window-en.png with queued and converting rows; end-of-batch-*.png,
// failure-list-*.png (failed and skipped files) and close-question-*.png in both languages;
// progress-*.png (two files converting at once with their progress, the queue's on the status
// strip) and settings-menu-*.png (the Settings menu open at "When the queue is done");
// queue-menu-*.png (the grid's context menu), continue-question-*.png (the question about files
// left unfinished) and arrival-question-*.png (the question about files from outside the
// window); status-line-*.png (a launch failure with a long path); first-start-*.png (the first
// start on an English and on a Japanese system).
// Run it under Xvfb with a window manager, so that the title bar shows:
//
//   xvfb-run -a -s "-screen 0 1024x768x24" sh -c 'openbox & sleep 1;
//     QT_QPA_PLATFORM=xcb build/tests/app_tests --gtest_also_run_disabled_tests
//     --gtest_filter=*Screenshots*'
//
// PALOMIX_SCREENSHOT_DIR names another folder for the pictures.
#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTableView>

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include <fstream>
#include <map>

#include "app/Captions.h"
#include "app/FailureWindow.h"
#include "app/QueueContextMenu.h"
#include "app/QueueTexts.h"
#include "app/RunSettingsMenu.h"
#include "app/StringGrid.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ProgressLauncher.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

// Every command "runs" until the window goes; nothing is started.
class NeverEndingLauncher final : public ProcessLauncher {
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

// Drives that are never touched.
class NoDrives final : public DeviceAccess {
public:
    std::vector<std::string> ListDrives() override { return {}; }
    bool IsFolder(const std::string& /*path*/) override { return false; }
    bool CreateFolders(const std::string& /*path*/) override { return true; }
};

// The shipped settings files in the program folder of the scratch folder, and six videos to
// drop (their paths).
std::vector<std::string> ShippedProgramWithVideos(const ScratchFolder& scratch) {
    std::filesystem::copy(std::string(PALOMIX_SOURCE_DIR) + "/convert_settings",
                          scratch.MakeFolder("program/convert_settings"),
                          std::filesystem::copy_options::recursive);
    std::vector<std::string> files;
    for (const char* name : {"家族旅行_2023.mp4", "birthday party.mov", "運動会.mts",
                             "concert_live.mkv", "cat video.avi", "夏祭り 花火.mp4"}) {
        files.push_back(scratch.Write("ビデオ/" + std::string(name), "v"));
    }
    return files;
}

// A window of the program folder with the launcher given, messages that are recorded, no
// drives, a desktop that is asked nothing and no kept queue.
MainFormEnvironment ScreenshotEnvironment(const std::string& programFolder,
                                          decltype(MainFormEnvironment::makeLauncher) launcher) {
    MainFormEnvironment environment;
    environment.programFolder = programFolder;
    environment.executablePath = programFolder + "/palomix";
    environment.messages = std::make_shared<RecordingSink>();
    environment.openWithDefault = [](const std::string&, const OpenFailureHandler&) {};
    environment.makeLauncher = std::move(launcher);
    environment.devices = std::make_unique<NoDrives>();
    environment.makeDesktop = [](QWidget&) { return std::make_unique<QuietDesktopSession>(); };
    environment.queueFile = "";
    return environment;
}

// Where the pictures go: $PALOMIX_SCREENSHOT_DIR, or docs/ of the source tree.
std::string PictureFolder() {
    const char* folder = std::getenv("PALOMIX_SCREENSHOT_DIR");
    const std::string out = folder != nullptr ? folder : std::string(PALOMIX_SOURCE_DIR) + "/docs";
    std::filesystem::create_directories(out);
    return out;
}

// The row of a settings file in the window's list of settings files.
int SettingsRow(TMainForm1& form, const std::string& fileName) {
    for (int row = 0; row < form.MultiComboBox1->ItemCount(); ++row) {
        if (form.MultiComboBox1->Item(row).find(fileName) != std::string::npos) {
            return row;
        }
    }
    return 0;
}

// The row of the shipped phone and tablet settings.
int PhonesRow(TMainForm1& form) {
    return SettingsRow(form, "phone_tablet.ini");
}

void Shoot(TMainForm1& form, const std::string& file) {
    WaitUntil([] { return false; }, std::chrono::milliseconds(800));  // let the frame arrive
    const QRect frame = form.frameGeometry();
    const QPixmap picture =
        form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    ASSERT_TRUE(picture.save(QString::fromStdString(file), "PNG")) << file;
}

TEST(WindowScreenshots, DISABLED_JapaneseAndEnglishWithQueuedAndConvertingRows) {
    const ScratchFolder scratch;
    const std::vector<std::string> files = ShippedProgramWithVideos(scratch);
    MainFormEnvironment environment =
        ScreenshotEnvironment(scratch.Path("program"),
                              [](PostToHost) { return std::make_unique<NeverEndingLauncher>(); });
    TMainForm1 form(std::move(environment));
    form.show();
    ASSERT_TRUE(WaitUntil([&] { return form.isActiveWindow() || form.isVisible(); }));
    form.FormActivate();
    const int phones = PhonesRow(form);
    Pick(*form.MultiComboBox1, phones);
    Pick(*form.MultiComboBox2, 1);
    form.BrowserEdit1->SetPath("/home/palomix/Videos/converted");
    form.FormDropFiles(files);
    form.Timer0->stop();
    for (int tick = 0; tick < 84; ++tick) {
        form.Timer0Timer();  // 00:01:23 in row 1
    }

    const std::string out = PictureFolder();
    Shoot(form, out + "/window-ja.png");
    form.B2Click();
    Pick(*form.MultiComboBox1, phones);
    Pick(*form.MultiComboBox2, 1);
    Shoot(form, out + "/window-en.png");
}

// The input file of an ffmpeg command line: the quoted path after "-i".
std::string InputOf(const std::string& commandLine) {
    const std::size_t start = commandLine.find("-i \"");
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = commandLine.find('"', start + 4);
    return commandLine.substr(start + 4, end - start - 4);
}

// Ends each command as the file it converts says: most succeed, some fail with ffmpeg's own
// last lines, one runs until it is stopped.
class ScriptedLauncher final : public ProcessLauncher {
public:
    ScriptedLauncher(PostToHost post, std::string logFolder)
        : post_(std::move(post)), logFolder_(std::move(logFolder)) {}

    LaunchResult Launch(const std::string& commandLine, ProcessEndedHandler onEnded) override {
        LaunchResult result;
        result.launched = true;
        result.handle = ProcessHandle{++next_};
        result.logPath = logFolder_ + "/" + std::to_string(next_) + ".log";
        std::string log = "size=       0kB time=00:00:00.00 bitrate=N/A speed=   0x\n";
        ProcessExit exit;
        if (commandLine.find(".mp3") != std::string::npos) {
            log +=
                "Stream map '0:V:0' matches no streams.\n"
                "To ignore this, add a trailing '?' to the map.\n";
            exit.code = 1;
        } else if (commandLine.find("broken") != std::string::npos) {
            log = "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x55d1c3a2b8c0] moov atom not found\n" +
                  InputOf(commandLine) + ": Invalid data found when processing input\n";
            exit.code = 1;
        } else if (commandLine.find("concert") != std::string::npos) {
            hanging_ = {result.handle, std::move(onEnded)};
            return result;
        }
        std::ofstream(result.logPath) << log;
        post_([onEnded = std::move(onEnded), handle = result.handle, exit] {
            onEnded(handle, exit);
        });
        return result;
    }
    bool Terminate(ProcessHandle handle) override {
        if (!hanging_.second || hanging_.first != handle) {
            return false;
        }
        post_([ended = std::move(hanging_), handle] {
            ended.second(handle, ProcessExit{ProcessExit::Kind::Signalled, 15});
        });
        hanging_ = {};
        return true;
    }
    void DiscardLog(ProcessHandle /*handle*/) override {}

private:
    PostToHost post_;
    std::string logFolder_;
    std::uint64_t next_ = 0;
    std::pair<ProcessHandle, ProcessEndedHandler> hanging_;
};

void ShootWidget(QWidget& widget, const std::string& file) {
    widget.raise();
    widget.activateWindow();
    // Shown, framed by the window manager, and drawn.
    ASSERT_TRUE(WaitUntil([&] {
        return widget.windowHandle() != nullptr && widget.windowHandle()->isExposed() &&
               widget.frameGeometry() != widget.geometry();
    }));
    WaitUntil([] { return false; }, std::chrono::milliseconds(800));
    const QRect frame = widget.frameGeometry();
    const QPixmap picture =
        widget.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    ASSERT_TRUE(picture.save(QString::fromStdString(file), "PNG")) << file;
}

TEST(WindowScreenshots, DISABLED_EndOfBatchFailureListAndCloseQuestion) {
    // Short folders of their own, so that the paths in the pictures read like a user's.
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    struct Removed {
        std::vector<std::filesystem::path> paths;
        ~Removed() {
            for (const auto& path : paths) {
                std::error_code ignored;
                std::filesystem::remove_all(path, ignored);
            }
        }
    } removed{{base / "Palomix", base / "ビデオ"}};
    const ScratchFolder scratch;
    std::filesystem::create_directories(base / "Palomix/convert_settings");
    std::filesystem::copy(std::string(PALOMIX_SOURCE_DIR) + "/convert_settings",
                          base / "Palomix/convert_settings",
                          std::filesystem::copy_options::recursive);
    const std::string logs = scratch.MakeFolder("logs");
    std::vector<std::string> files;
    std::filesystem::create_directories(base / "ビデオ");
    for (const char* name : {"家族旅行_2023.mp4", "birthday party.mov", "お気に入りの曲.mp3",
                             "運動会.mts", "cat video.avi", "夏祭り 花火.mp4", "long concert.mkv",
                             "school play.mp4", "broken_clip.mp4", "初詣.mov", "beach day.mp4",
                             "snow.mts", "sunset.mov", "zoo.mp4", "garden.avi"}) {
        const std::filesystem::path file = base / "ビデオ" / name;
        std::ofstream(file) << "v";
        files.push_back(file.string());
    }
    const QString testName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QString::fromUtf8(
        kApplicationTitle.data(), static_cast<qsizetype>(kApplicationTitle.size())));

    MainFormEnvironment environment =
        ScreenshotEnvironment((base / "Palomix").string(), [logs](PostToHost post) {
            return std::make_unique<ScriptedLauncher>(std::move(post), logs);
        });
    TMainForm1 form(std::move(environment));
    form.show();
    form.FormActivate();
    const int phones = PhonesRow(form);
    Pick(*form.MultiComboBox1, phones);
    Pick(*form.MultiComboBox2, 1);
    form.BrowserEdit1->SetPath(scratch.MakeFolder("converted"));
    // Two outputs are there from before, and are kept: their files are skipped.
    form.RunMenu().Existing->actions()[2]->trigger();
    scratch.Write("converted/garden_720p.mp4", "v");
    scratch.Write("converted/zoo_720p.mp4", "v");
    form.Timer0->stop();
    form.FormDropFiles(files);
    ASSERT_TRUE(WaitUntil([&] {
        return form.Core().JobCount() == 0 ||
               form.Core().Job(0).path.find("concert") != std::string::npos;
    }));
    form.Button1Click();
    ASSERT_TRUE(WaitUntil([&] { return form.Core().JobCount() == 0 && !form.Core().RunActive(); }));
    form.BrowserEdit1->SetPath("/home/palomix/Videos/converted");

    const std::string out = PictureFolder();
    for (const auto& [language, suffix] :
         {std::pair{Language::Japanese, "ja"}, std::pair{Language::English, "en"}}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        Pick(*form.MultiComboBox1, phones);
        Pick(*form.MultiComboBox2, 1);
        Shoot(form, out + "/end-of-batch-" + suffix + ".png");
        form.ShowFailures();
        form.FailureWindow()->resize(820, 430);
        ShootWidget(*form.FailureWindow(), out + "/failure-list-" + suffix + ".png");
        form.FailureWindow()->close();
        const std::unique_ptr<QMessageBox> question =
            MakeQuestionBox(&form, CloseDuringRunQuestion(RunTextsFor(language)));
        question->show();
        ShootWidget(*question, out + "/close-question-" + suffix + ".png");
        question->close();
    }
    QCoreApplication::setApplicationName(testName);
}

// The window and the menus open over it, as one picture.
void ShootWithMenus(TMainForm1& form, const std::vector<QMenu*>& menus, const std::string& file) {
    WaitUntil([] { return false; }, std::chrono::milliseconds(800));
    QRect area = form.frameGeometry();
    for (const QMenu* menu : menus) {
        area = area.united(menu->frameGeometry());
    }
    const QPixmap picture =
        form.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    ASSERT_TRUE(picture.save(QString::fromStdString(file), "PNG")) << file;
}

TEST(WindowScreenshots, DISABLED_ProgressAndTheSettingsMenu) {
    const ScratchFolder scratch;
    const std::vector<std::string> files = ShippedProgramWithVideos(scratch);
    scratch.Write("program/cores/ffprobe", "");  // lengths are asked of the launcher below
    const std::string logs = scratch.MakeFolder("logs");
    // Every file lasts ten minutes; the first two are 312 s and 95 s in.
    MainFormEnvironment environment =
        ScreenshotEnvironment(scratch.Path("program"), [logs](PostToHost post) {
            return std::make_unique<ProgressLauncher>(
                std::move(post), logs, "600.0", [](const std::string& line) {
                    if (line.find("家族旅行") != std::string::npos) {
                        return StatisticsLine(312, 3.7);
                    }
                    return line.find("birthday") != std::string::npos ? StatisticsLine(95, 1.1)
                                                                      : std::string();
                });
        });
    TMainForm1 form(std::move(environment));
    form.show();
    ASSERT_TRUE(WaitUntil([&] { return form.isVisible(); }));
    form.FormActivate();
    const int phones = PhonesRow(form);
    Pick(*form.MultiComboBox1, phones);
    Pick(*form.MultiComboBox2, 1);
    form.BrowserEdit1->SetPath("/home/palomix/Videos/converted");
    form.RunMenu().Simultaneous->actions()[1]->trigger();  // two at once
    form.RunMenu().WhenDone->actions()[3]->trigger();      // suspend
    form.Timer0->stop();
    form.FormDropFiles(files);
    for (int tick = 0; tick < 84; ++tick) {
        ProcessPending();  // the lengths come back between the ticks
        form.Timer0Timer();
    }

    const std::string out = PictureFolder();
    for (const auto& [language, suffix] :
         {std::pair{Language::Japanese, "ja"}, std::pair{Language::English, "en"}}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        Pick(*form.MultiComboBox1, phones);
        Pick(*form.MultiComboBox2, 1);
        form.Timer0Timer();
        Shoot(form, out + "/progress-" + suffix + ".png");

        form.menuBar()->setActiveAction(form.S0->menuAction());
        ASSERT_TRUE(WaitUntil([&] { return form.S0->isVisible(); }));
        QMenu* whenDone = form.RunMenu().WhenDone;
        form.S0->setActiveAction(whenDone->menuAction());
        whenDone->popup(form.S0->geometry().topRight() +
                        QPoint(0, form.S0->actionGeometry(whenDone->menuAction()).top()));
        ASSERT_TRUE(WaitUntil([&] { return whenDone->isVisible(); }));
        ShootWithMenus(form, {form.S0, whenDone}, out + "/settings-menu-" + suffix + ".png");
        whenDone->close();
        form.S0->close();
        ASSERT_TRUE(WaitUntil([&] { return !form.S0->isVisible(); }));
    }
}

TEST(WindowScreenshots, DISABLED_QueueMenuAndContinueQuestion) {
    const ScratchFolder scratch;
    const std::vector<std::string> files = ShippedProgramWithVideos(scratch);
    const QString testName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QString::fromUtf8(
        kApplicationTitle.data(), static_cast<qsizetype>(kApplicationTitle.size())));
    MainFormEnvironment environment =
        ScreenshotEnvironment(scratch.Path("program"),
                              [](PostToHost) { return std::make_unique<NeverEndingLauncher>(); });
    TMainForm1 form(std::move(environment));
    form.show();
    form.FormActivate();
    const int phones = PhonesRow(form);
    form.FormDropFiles(files);
    form.Timer0->stop();
    for (int tick = 0; tick < 42; ++tick) {
        form.Timer0Timer();
    }

    const std::string out = PictureFolder();
    for (const auto& [language, suffix] :
         {std::pair{Language::Japanese, "ja"}, std::pair{Language::English, "en"}}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        Pick(*form.MultiComboBox1, phones);
        Pick(*form.MultiComboBox2, 1);
        form.BrowserEdit1->SetPath("/home/palomix/Videos/converted");
        // Two waiting rows selected, the menu opened over the second.
        ClickRow(form, 2);
        ClickRow(form, 3, Qt::ControlModifier);
        const QRect row = form.StringGrid2->visualRect(form.StringGrid2->model()->index(3, 1));
        const std::unique_ptr<QMenu> menu = form.QueueMenu().MakeMenu(3);
        menu->popup(form.StringGrid2->viewport()->mapToGlobal(QPoint(60, row.center().y())));
        Shoot(form, out + "/queue-menu-" + suffix + ".png");
        menu->close();
        const std::unique_ptr<QMessageBox> question =
            MakeQuestionBox(&form, ContinueQueueQuestion(37, QueueTextsFor(language)));
        question->show();
        ShootWidget(*question, out + "/continue-question-" + suffix + ".png");
        question->close();
        const std::unique_ptr<QMessageBox> arrival = MakeQuestionBox(
            &form, ArrivalQuestion(3, form.Core().CommandRows()[1].title,
                                   "/home/palomix/Videos/converted", QueueTextsFor(language)));
        arrival->show();
        ShootWidget(*arrival, out + "/arrival-question-" + suffix + ".png");
        arrival->close();
    }
    QCoreApplication::setApplicationName(testName);
}

TEST(WindowScreenshots, DISABLED_StatusLineWithALongReason) {
    const ScratchFolder scratch;
    const std::vector<std::string> files = ShippedProgramWithVideos(scratch);
    const std::string program = "/home/palomix/.local/share/converters/ffmpeg-6.1/bin/ffmpeg";
    scratch.Write("program/convert_settings/own.ini",
                  "[Info]\nTitle=自分の設定\nTitleE=My settings\n[Item0]\nTitle=MP4\nTitleE=MP4\n"
                  "Command0=\"" +
                      program + "\" -i \"<%InputFile%>\" \"<%OutputFile%>.mp4\"\n");
    TMainForm1 form(ScreenshotEnvironment(scratch.Path("program"), {}));
    form.show();
    form.FormActivate();
    form.BrowserEdit1->SetPath(scratch.MakeFolder("converted"));
    const std::string out = PictureFolder();
    for (const auto& [language, suffix] :
         {std::pair{Language::Japanese, "ja"}, std::pair{Language::English, "en"}}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        Pick(*form.MultiComboBox1, SettingsRow(form, "own.ini"));
        form.FormDropFiles(files);
        ASSERT_FALSE(form.Core().RunActive());
        Shoot(form, out + "/status-line-" + suffix + ".png");
    }
}

TEST(WindowScreenshots, DISABLED_FirstStartOnAnEnglishAndAJapaneseSystem) {
    const std::string out = PictureFolder();
    for (const auto& [locale, suffix] :
         {std::pair{"en_US.UTF-8", "en"}, std::pair{"ja_JP.UTF-8", "ja"}}) {
        const ScratchFolder scratch;
        ShippedProgramWithVideos(scratch);
        MainFormEnvironment environment = ScreenshotEnvironment(scratch.Path("program"), {});
        environment.systemLocale = locale;
        environment.places = ProgramPlaces{scratch.Path("program"),
                                           true,
                                           scratch.Path("program/Palomix.ini"),
                                           {},
                                           "/home/palomix/Videos"};
        TMainForm1 form(std::move(environment));
        form.show();
        form.FormActivate();
        Shoot(form, out + "/first-start-" + suffix + ".png");
    }
}

}  // namespace
}  // namespace palomix::testing
