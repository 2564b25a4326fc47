// TMainForm1: the program's one window. It holds the controls at their fixed places
// (app/WindowLayout.h), the menus, the timer, and the core behind them (engine/Engine.h), and
// turns user actions into calls on the core's door. Every handler keeps the name of the
// control it serves and forwards, to the door or to the part of the window that does the work:
// the run's presenter (what the run shows, app/RunPresenter.h), the command picker (the two
// selectors, app/CommandPicker.h), the window's state between starts (app/WindowState.h) and
// the About box (app/AboutBox.h).
//
// Drops of files and folders anywhere over the window (labels, lists and grid included) reach
// FormDropFiles. The first activation restores the state of the last run; closing saves it.
// Closing while a batch runs asks first: stop the conversions and quit, quit when the queue is
// done (the window stays usable until then), or cancel. A request to end from the system
// (logout, shutdown, a terminate or hang-up signal, Ctrl-C) closes the window without asking:
// the conversions are stopped, the state is saved, and the program ends.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Captions.h"
#include "app/DesktopSession.h"
#include "app/MessageSink.h"
#include "app/QtTranslations.h"
#include "app/RunPresenter.h"
#include "app/RunReport.h"
#include "app/WindowLayout.h"
#include "engine/Engine.h"
#include "platform/Drives.h"
#include "platform/OpenWithDefault.h"
#include "platform/ProcessLauncher.h"
#include "settings/Language.h"
#include "settings/ProgramPlaces.h"

namespace palomix {

class AboutPresenter;
class CommandPicker;
class FileMenu;
class JobGridModel;
class OpenFailureMailbox;
class ProgressDelegate;
class QueueContextMenu;
class QueueEndAction;
class QueueSaver;
class RunLogMenu;
class RunSettingsMenu;
class TAboutBox;
class TFailureWindow;
class WatchedFolders;
class WindowState;

// What the window takes from the outside world. Every field left empty gets the real thing,
// so tests can hand in a program folder of their own, a fake executable path, recording
// message boxes and openers, or a launcher of their own.
struct MainFormEnvironment {
    std::string programFolder;   // holds convert_settings and Palomix.ini; ExecutableFolder()
    std::string executablePath;  // for the software information page; ExecutablePath()
    // The maker's web site; unset: the one the program was built with; empty: none.
    std::optional<std::string> webSite;
    std::shared_ptr<MessageSink> messages;   // modal message boxes
    ReportingProgramOpener openWithDefault;  // TryOpenWithDefaultProgram
    std::function<std::unique_ptr<ProcessLauncher>(PostToHost)> makeLauncher;
    std::unique_ptr<DeviceAccess> devices;  // SystemDeviceAccess()
    // Where the state file, the user's settings files and the default output folder are;
    // FindProgramPlaces(programFolder).
    std::optional<ProgramPlaces> places;
    // The desktop around the window: notifications, sleep, power, the launcher's progress;
    // SystemDesktopSession(window).
    std::function<std::unique_ptr<DesktopSession>(QWidget& window)> makeDesktop;
    // The countdown before the computer is suspended or shut down when the queue is done.
    int powerCountdownSeconds = 60;
    // Where the job list is kept for the next start; nullopt: beside the state file
    // (QueueFilePath); an empty path keeps none.
    std::optional<std::string> queueFile;
    // The system's locale name, which a start without a saved language follows;
    // SystemLocaleName().
    std::optional<std::string> systemLocale;
    // Where the log of every run is kept; nullopt: RunLogFolder(); an empty path keeps none.
    std::optional<std::string> runLogFolder;
    // Where watched folders keep what they converted; empty: the user's state folder.
    std::string watchRecordFolder;
    // The times the watched folders keep; nullopt: the core's.
    std::optional<WatchTiming> watchTiming;
};

// The address of the software information page: the web site, "/info.php?pf=w&sn=" and the
// executable's file name without its last extension (my.tool.exe gives my.tool), unencoded.
std::string SoftwareInformationAddress(std::string_view webSite, std::string_view executablePath);

// The question of a close during a run: stop the conversions and quit, quit when the queue is
// done (the default), or cancel (also with Escape).
Question CloseDuringRunQuestion(const RunTexts& texts);
enum CloseAnswer { kCloseStopAndQuit = 0, kCloseWhenDone = 1, kCloseCancel = 2 };

class TMainForm1 final : public QMainWindow, public WindowControls {
    Q_OBJECT

public:
    explicit TMainForm1(MainFormEnvironment environment = {}, QWidget* parent = nullptr);
    ~TMainForm1() override;

    // --- Handlers ------------------------------------------------------------------------
    // A drop: the paths become jobs in the order given, then the batch run starts.
    void FormDropFiles(const std::vector<std::string>& paths);
    // The first activation restores the saved state; later ones do nothing.
    void FormActivate();
    // Saves the state into Palomix.ini, creating its folder when needed. A failure to write is
    // shown naming the file (written to the standard error stream instead when `quiet`); the
    // close goes on. Before the state was restored there is nothing of the window's own to
    // keep, and the file is left as it is. True when saved or left.
    bool FormClose(bool quiet = false);
    void H1Click();
    void H2Click();
    // The About box.
    void H3Click();
    void S1Click();
    // The failure list (also a click on the status strip).
    void S2Click();
    void B1Click();
    void B2Click();
    // Refills the command list for the selected settings file in the current language.
    void MultiComboBox1Change();
    void Button1Click();
    void Timer0Timer();
    // The buttons of the failure list: the failed and stopped files go into the job list
    // again and the run starts; the list is emptied.
    void ConvertAgainClick();
    void ClearFailuresClick();
    // The system asks the program to end (logout, shutdown, a signal): the window closes as
    // "Stop the conversions and quit" closes it, without asking, and without a message box.
    // A second request ends the program at once.
    void SessionEnding();
    // Paths from the command line, or handed over by a later start of the program: queued once
    // the window has been restored and has asked about files left unfinished, and converted
    // when the user says so (RunPresenter::TakeArrivals).
    void OpenPaths(std::vector<std::string> paths);
    // A later start asked for the window: shown, raised and activated.
    void BringToFront();

    // --- State for the front end and its tests ---------------------------------------------
    // The check marks of B1 and B2.
    LanguageMarks Marks() const;
    // The core behind the window.
    const Engine& Core() const { return *engine_; }
    // The text of a cell of the job grid, as shown (row 0: the captions).
    std::string GridCell(int column, int row) const;
    const RunReport& Report() const { return presenter_->Report(); }
    const std::string& ProgramFolder() const { return programFolder_; }
    const std::string& StateFile() const { return places_.stateFile; }
    const ProgramPlaces& Places() const { return places_; }
    // How a close during a run goes on.
    using CloseMode = palomix::CloseMode;
    CloseMode PendingClose() const { return presenter_->PendingClose(); }
    // True once a close is pending; the window closes when the run ends.
    bool CloseAfterRun() const { return PendingClose() != CloseMode::None; }
    TFailureWindow* FailureWindow() const { return presenter_->FailureWindow(); }
    TAboutBox* AboutBox() const;
    // The run choices of the Settings menu, what follows the end of a run, and the painter of
    // the grid's progress.
    RunSettingsMenu& RunMenu() const { return *runMenu_; }
    QueueEndAction& QueueEnd() const { return presenter_->QueueEnd(); }
    ProgressDelegate& GridProgress() const { return presenter_->GridProgress(); }
    // Opens the list of failed jobs (a click on the status strip).
    void ShowFailures();
    // The File menu, the grid's context menu, and the keeper of the job list (nullptr when
    // the window keeps none).
    FileMenu& Files() const { return *fileMenu_; }
    RunLogMenu& RunLogs() const { return *runLogMenu_; }
    QueueContextMenu& QueueMenu() const { return *queueMenu_; }
    QueueSaver* Saver() const;
    // The watched folders: File → "Watch a folder…" and "Watched folders…".
    WatchedFolders& Watched() const { return *watched_; }

protected:
    friend class OpenFailureMailbox;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The menus and parts that are not controls of the layout, and what each control does.
    void MakeParts(const MainFormEnvironment& environment);
    void ConnectControls();
    void SetLanguage(Language language);
    // The captions and the texts of the window's parts in the language of the check marks.
    void ShowCaptions();
    void Message(const std::string& text);
    // Opens a file or page with the system's program; a failure is told in a message box.
    void OpenWithDefault(const std::string& target);
    void OpenFailed(const std::string& target, const OpenFailure& failure);
    // The close during a run: the question and its answers.
    void AskCloseDuringRun();
    void CloseWhenDone();
    void CloseAfterStopping(bool quiet);
    void CloseNow();
    // The language of the texts the window adds: the current one, Japanese with none.
    Language TextLanguage() const;

    // Core objects first, so that they outlive the parts built on them.
    std::string programFolder_;
    std::string executablePath_;
    std::string webSite_;
    std::shared_ptr<MessageSink> messages_;
    ReportingProgramOpener openWithDefault_;
    ProgramPlaces places_;
    std::shared_ptr<OpenFailureMailbox> openFailures_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<JobGridModel> gridModel_;
    QtTranslations qtTexts_;
    std::unique_ptr<DesktopSession> desktop_;
    RunSettingsMenu* runMenu_ = nullptr;       // the Settings menu's child
    FileMenu* fileMenu_ = nullptr;             // the window's child
    QueueContextMenu* queueMenu_ = nullptr;    // the window's child
    std::unique_ptr<RunLogMenu> runLogMenu_;   // logs the runs from the first fact on
    WatchedFolders* watched_ = nullptr;        // the window's child
    std::unique_ptr<RunPresenter> presenter_;  // the parts watch the core until they go
    std::unique_ptr<CommandPicker> picker_;
    std::unique_ptr<AboutPresenter> about_;
    std::unique_ptr<WindowState> state_;    // its saver reads the list as the window goes
    std::vector<std::string> pathsToOpen_;  // given before the window was restored
    bool opensPaths_ = false;               // restored: paths are taken at once
    bool closingNow_ = false;               // the close after the run: no second save
    bool sessionEnding_ = false;            // the system asked the program to end
};

}  // namespace palomix
