// Not a test: makes the pictures of the watched folders in docs/ from the real window on a real
// display: watch-dialog-ja.png and watch-dialog-en.png (File → "Watch a folder…" filled in),
// watched-folders-ja.png and watched-folders-en.png (the list with a watch converting, one
// waiting for its card and a file that did not convert). Run it as the window's pictures are
// run (tests/app/ScreenshotTest.cpp), with --gtest_filter=*WatchScreenshots*.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTableWidget>

#include <filesystem>

#include "app/WatchDialog.h"
#include "app/WatchListWindow.h"
#include "app/WatchedFolders.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

// Every command fails at once, as a converter that cannot read its file does.
class FailingLauncher final : public ProcessLauncher {
public:
    explicit FailingLauncher(PostToHost post) : post_(std::move(post)) {}
    LaunchResult Launch(const std::string& /*commandLine*/, ProcessEndedHandler onEnded) override {
        LaunchResult result;
        result.launched = true;
        result.handle = ProcessHandle{++next_};
        post_([onEnded = std::move(onEnded), handle = result.handle] {
            onEnded(handle, ProcessExit{ProcessExit::Kind::Exited, 1, false});
        });
        return result;
    }
    bool Terminate(ProcessHandle /*handle*/) override { return false; }
    void DiscardLog(ProcessHandle /*handle*/) override {}

private:
    PostToHost post_;
    std::uint64_t next_ = 0;
};

std::string PictureFolder() {
    const char* folder = std::getenv("PALOMIX_SCREENSHOT_DIR");
    const std::string out = folder != nullptr ? folder : std::string(PALOMIX_SOURCE_DIR) + "/docs";
    std::filesystem::create_directories(out);
    return out;
}

void ShootWidget(QWidget& widget, const std::string& file) {
    widget.raise();
    widget.activateWindow();
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

TEST(WatchScreenshots, DISABLED_TheWatchDialogAndTheListInBothLanguages) {
    // Short folders of their own, so that the paths in the pictures read like a user's.
    const std::filesystem::path home = std::filesystem::temp_directory_path() / "palomix-home";
    std::filesystem::remove_all(home);
    const ScratchFolder scratch;
    std::filesystem::copy(std::string(PALOMIX_SOURCE_DIR) + "/convert_settings",
                          scratch.MakeFolder("program/convert_settings"),
                          std::filesystem::copy_options::recursive);
    const std::string camera = (home / "Camera").string();
    const std::string card = (home / "SD card" / "DCIM").string();
    std::filesystem::create_directories(camera);
    MainFormEnvironment environment;
    environment.programFolder = scratch.Path("program");
    environment.executablePath = scratch.Path("program/palomix");
    environment.messages = std::make_shared<RecordingSink>();
    environment.openWithDefault = [](const std::string&, const OpenFailureHandler&) {};
    environment.makeLauncher = [](PostToHost post) {
        return std::make_unique<FailingLauncher>(std::move(post));
    };
    environment.makeDesktop = [](QWidget&) { return std::make_unique<QuietDesktopSession>(); };
    environment.queueFile = "";
    environment.watchRecordFolder = scratch.Path("records");
    WatchTiming timing;
    timing.settle = std::chrono::milliseconds(100);
    environment.watchTiming = timing;
    TMainForm1 form(std::move(environment));
    form.show();
    form.FormActivate();

    const CatalogueEntry phones = form.Core().SettingsFiles().at(0);
    const std::string phone = (home / "Phone").string();
    form.Watched().Add(WatchSettings{camera, {phones.path, 1}, phone, true, false});
    form.Watched().Add(WatchSettings{card, {phones.path, 0}, phone, false, false});
    std::ofstream(camera + "/broken clip.mp4") << "not a video";
    ASSERT_TRUE(WaitUntil([&] { return !form.Core().Watches()[0].failures.empty(); }));

    const std::string out = PictureFolder();
    for (const auto& [language, suffix] :
         {std::pair{Language::Japanese, "ja"}, std::pair{Language::English, "en"}}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        form.Watched().AskForWatch();
        TWatchDialog& dialog = *form.Watched().Dialog();
        dialog.FolderEdit().SetPath((home / "Downloads").string());
        dialog.OutputEdit().SetPath(phone);
        dialog.SubfoldersBox().setChecked(true);
        ShootWidget(dialog, out + "/watch-dialog-" + suffix + ".png");
        dialog.reject();
        // Answered outside any event loop: its deletion is made here.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(WaitUntil([&] { return form.Watched().Dialog() == nullptr; }));

        form.Watched().ShowList();
        TWatchListWindow& list = *form.Watched().List();
        list.resize(980, 420);
        list.SelectRow(0);
        ShootWidget(list, out + "/watched-folders-" + suffix + ".png");
        list.close();
    }
    std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace palomix::testing
