// Not a test: makes the pictures of the window in docs/ (window-ja.png, window-en.png), with
// queued and converting rows, from the real window on a real display. Run it under Xvfb with
// a window manager, so that the title bar shows:
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

#include "app/StringGrid.h"
#include "tests/app/AppTestSupport.h"
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

void Shoot(TMainForm1& form, const std::string& file) {
    WaitUntil([] { return false; }, std::chrono::milliseconds(800));  // let the frame arrive
    const QRect frame = form.frameGeometry();
    const QPixmap picture =
        form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    ASSERT_TRUE(picture.save(QString::fromStdString(file), "PNG")) << file;
}

TEST(WindowScreenshots, DISABLED_JapaneseAndEnglishWithQueuedAndConvertingRows) {
    const ScratchFolder scratch;
    std::filesystem::copy(std::string(PALOMIX_SOURCE_DIR) + "/convert_settings",
                          scratch.MakeFolder("program/convert_settings"),
                          std::filesystem::copy_options::recursive);
    const std::string videos = scratch.MakeFolder("ビデオ");
    std::vector<std::string> files;
    for (const char* name : {"家族旅行_2023.mp4", "birthday party.mov", "運動会.mts",
                             "concert_live.mkv", "cat video.avi", "夏祭り 花火.mp4"}) {
        files.push_back(scratch.Write("ビデオ/" + std::string(name), "v"));
    }

    MainFormEnvironment environment;
    environment.programFolder = scratch.Path("program");
    environment.executablePath = scratch.Path("program/palomix");
    environment.messages = std::make_shared<RecordingSink>();
    environment.openWithDefault = [](const std::string&, const OpenFailureHandler&) {};
    environment.makeLauncher = [](PostToHost) { return std::make_unique<NeverEndingLauncher>(); };
    environment.devices = std::make_unique<NoDrives>();
    TMainForm1 form(std::move(environment));
    form.show();
    ASSERT_TRUE(WaitUntil([&] { return form.isActiveWindow() || form.isVisible(); }));
    form.FormActivate();
    const int phones = [&] {
        for (int row = 0; row < form.MultiComboBox1->ItemCount(); ++row) {
            if (form.MultiComboBox1->Item(row).find("phone_tablet.ini") != std::string::npos) {
                return row;
            }
        }
        return 0;
    }();
    Pick(*form.MultiComboBox1, phones);
    Pick(*form.MultiComboBox2, 1);
    form.BrowserEdit1->SetPath("/home/palomix/Videos/converted");
    form.FormDropFiles(files);
    form.Timer0->stop();
    for (int tick = 0; tick < 84; ++tick) {
        form.Timer0Timer();  // 00:01:23 in row 1
    }

    const char* folder = std::getenv("PALOMIX_SCREENSHOT_DIR");
    const std::string out = folder != nullptr ? folder : std::string(PALOMIX_SOURCE_DIR) + "/docs";
    std::filesystem::create_directories(out);
    Shoot(form, out + "/window-ja.png");
    form.B2Click();
    Pick(*form.MultiComboBox1, phones);
    Pick(*form.MultiComboBox2, 1);
    Shoot(form, out + "/window-en.png");
}

}  // namespace
}  // namespace palomix::testing
