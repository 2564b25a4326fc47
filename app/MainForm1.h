// TMainForm1: the program's one window. It holds the controls at their fixed places, the
// menus, the timer, and the core behind them (engine/Engine.h), turns user actions into calls
// on the core's door and its reports into repaints and texts in the window's language. Every
// handler keeps the name of the control it serves and forwards to the door.
//
// The window is fixed at a client area of 404 x 465 pixels below its menu bar. Drops of
// files and folders anywhere over it (labels, lists and grid included) reach FormDropFiles.
// The first activation restores the state of the last run from Palomix.ini (in the program
// folder, or in the user's folder for an installed copy: settings/ProgramPlaces.h); closing
// saves it. Closing while a batch runs asks first: stop the conversions and quit, quit when
// the queue is done (the window stays usable until then), or cancel. A request to end from
// the system (logout, shutdown, a terminate or hang-up signal, Ctrl-C) closes the window
// without asking: the conversions are stopped, the state is saved, and the program ends.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Captions.h"
#include "app/DesktopSession.h"
#include "app/MessageSink.h"
#include "app/RunReport.h"
#include "engine/Engine.h"
#include "engine/JobQueue.h"
#include "platform/Drives.h"
#include "platform/OpenWithDefault.h"
#include "platform/ProcessLauncher.h"
#include "settings/Language.h"
#include "settings/ProgramPlaces.h"
#include "settings/QueueFile.h"
#include "settings/SettingsCatalogue.h"

class QAction;
class QTranslator;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace palomix {

class ConverterVersionProbe;
class FileMenu;
class JobGridModel;
class OpenFailureMailbox;
class ProgressDelegate;
class QueueEndAction;
class RunSettingsMenu;
class QueueContextMenu;
class QueueSaver;
class TAboutBox;
class TBevel;
class TFailureWindow;
class TFolderBrowseEdit;
class TGradBox;
class TMultiColComboBox;
class TRunStatusStrip;
class TStringGrid;

// What the window takes from the outside world. Every field left empty gets the real thing,
// so tests can hand in a program folder of their own, a fake executable path, recording
// message boxes and openers, or a launcher of their own.
struct MainFormEnvironment {
    std::string programFolder;   // holds convert_settings and Palomix.ini; ExecutableFolder()
    std::string executablePath;  // for the software information page; ExecutablePath()
    std::string webSite;         // the maker's web site; the one the program was built with
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
};

// Window geometry.
inline constexpr int kClientWidth = 404;
inline constexpr int kClientHeight = 465;
inline constexpr int kInitialLeft = 20;
inline constexpr int kInitialTop = 20;

// The address of the software information page: the web site, "/info.php?pf=w&sn=" and the
// executable's file name without its last extension (my.tool.exe gives my.tool), unencoded.
std::string SoftwareInformationAddress(std::string_view webSite, std::string_view executablePath);

// The question of a close during a run: stop the conversions and quit, quit when the queue is
// done (the default), or cancel (also with Escape).
Question CloseDuringRunQuestion(const RunTexts& texts);
enum CloseAnswer { kCloseStopAndQuit = 0, kCloseWhenDone = 1, kCloseCancel = 2 };

class TMainForm1 final : public QMainWindow, private EngineObserver, private JobQueueObserver {
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
    // Paths from the command line, or handed over by a later start of the program: taken as
    // a drop once the window has been restored and has asked about files left unfinished.
    void OpenPaths(std::vector<std::string> paths);
    // A later start asked for the window: shown, raised and activated.
    void BringToFront();

    // --- State for the front end and its tests ---------------------------------------------
    // The check marks of B1 and B2.
    LanguageMarks Marks() const;
    const JobQueue& Jobs() const { return engine_->Jobs(); }
    // The core behind the window.
    const Engine& Core() const { return *engine_; }
    const SettingsCatalogue& Catalogue() const { return engine_->Catalogue(); }
    // The text of a cell of the job grid, as shown (row 0: the captions).
    std::string GridCell(int column, int row) const;
    const RunReport& Report() const { return report_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    std::string StateFile() const;
    const ProgramPlaces& Places() const { return places_; }
    // How a close during a run goes on.
    enum class CloseMode {
        None,       // no close pending
        WhenDone,   // the window closes when the run has ended
        AfterStop,  // every conversion was stopped; the window closes when the run has ended
    };
    CloseMode PendingClose() const { return closeMode_; }
    // True once a close is pending; the window closes when the run ends.
    bool CloseAfterRun() const { return closeMode_ != CloseMode::None; }
    TFailureWindow* FailureWindow() const { return failureWindow_; }
    TAboutBox* AboutBox() const { return aboutBox_; }
    // The run choices of the Settings menu, what follows the end of a run, and the painter of
    // the grid's progress.
    RunSettingsMenu& RunMenu() const { return *runMenu_; }
    QueueEndAction& QueueEnd() const { return *queueEnd_; }
    ProgressDelegate& GridProgress() const { return *progressDelegate_; }
    // Opens the list of failed jobs (a click on the status strip).
    void ShowFailures();
    // The File menu, the grid's context menu, and the keeper of the job list (nullptr when
    // the window keeps none).
    FileMenu& Files() const { return *fileMenu_; }
    QueueContextMenu& QueueMenu() const { return *queueMenu_; }
    QueueSaver* Saver() const { return queueSaver_.get(); }

    // --- The controls, named by kind and number --------------------------------------------
    QWidget* ClientArea = nullptr;
    TGradBox* GradBox0 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    TBevel* Bevel1 = nullptr;
    TStringGrid* StringGrid2 = nullptr;
    TMultiColComboBox* MultiComboBox1 = nullptr;
    TMultiColComboBox* MultiComboBox2 = nullptr;
    TFolderBrowseEdit* BrowserEdit1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    TRunStatusStrip* RunStatus1 = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* Timer0 = nullptr;
    QMenu* S0 = nullptr;
    QAction* S1 = nullptr;
    QAction* S2 = nullptr;
    QMenu* B0 = nullptr;
    QAction* B1 = nullptr;
    QAction* B2 = nullptr;
    QMenu* H0 = nullptr;
    QAction* H1 = nullptr;
    QAction* N3 = nullptr;
    QAction* H2 = nullptr;
    QAction* N4 = nullptr;
    QAction* H3 = nullptr;

protected:
    friend class OpenFailureMailbox;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // EngineObserver
    void StopEnabledChanged(bool enabled) override;
    void CommandStarted(const CommandStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;
    void StopFailed() override;
    void ConverterChecked() override;
    // JobQueueObserver: the job count of the status strip.
    void RowsInserted(int firstRow, int count) override;
    void RowsRemoved(int firstRow, int count) override;

    void CreateControls();
    void CreateMenus();
    void SetUpGrid();
    void SetLanguage(Language language);
    void ApplyCaptions(const WindowCaptions& captions);
    void ShowCatalogue();
    void ShowCommandList();
    void MultiComboBox2Pick();
    // Jobs wait for a command and the user's choice makes one: they start.
    void StartWaitingJobs();
    void ShowSelectorToolTips();
    void ShowCommandToolTips();
    void StartRun();
    void Message(const std::string& text);
    void UpdateRunStatus();
    // The status strip, the queue's progress on the desktop, the sleep lock and the stops of the
    // Settings menu, after a change of the run or a tick.
    void ShowRunState();
    // The notification of a run's end and what the user chose to follow a queue done.
    void TellRunEnd(const RunEnd& end);
    void UpdateFailureWindow();
    void UpdateAboutBox();
    // Qt's own texts (dialog buttons, the folder dialog) in the language.
    void LoadQtTranslations(Language language);
    // Opens a file or page with the system's program; a failure is told in a message box.
    void OpenWithDefault(const std::string& target);
    void OpenFailed(const std::string& target, const OpenFailure& failure);
    // The close during a run: the question and its answers.
    void AskCloseDuringRun();
    void CloseWhenDone();
    void CloseAfterStopping(bool quiet);
    void CloseNow();
    // The jobs still in the list when the user stops everything to quit are kept for the next
    // start as they are now: the head job, which the stop is about to end, still first.
    void KeepWaitingFilesForNextTime();
    // The queue kept by the previous start (app/MainFormQueue.cpp): asked about and put back,
    // or discarded; a damaged one is set aside. From then on the list is kept.
    void RestoreQueue();
    void ContinueQueue(const SavedQueue& queue);
    // The settings the list is kept with.
    SavedQueue QueueSettings() const;
    // Where the restored window goes, and the window's frame moved there.
    void MoveFrameTo(QPoint position);
    // The language of the texts the window adds: the current one, Japanese with none.
    Language TextLanguage() const;

    // Core objects first, so that they outlive the views built on them.
    std::string programFolder_;
    std::string executablePath_;
    std::string webSite_;
    std::shared_ptr<MessageSink> messages_;
    ReportingProgramOpener openWithDefault_;
    ProgramPlaces places_;
    std::shared_ptr<OpenFailureMailbox> openFailures_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<JobGridModel> gridModel_;
    RunReport report_;
    std::unique_ptr<QTranslator> qtTranslator_;  // installed while it holds a translation
    std::unique_ptr<DesktopSession> desktop_;
    std::unique_ptr<QueueEndAction> queueEnd_;
    RunSettingsMenu* runMenu_ = nullptr;
    ProgressDelegate* progressDelegate_ = nullptr;
    std::unique_ptr<QueueSaver> queueSaver_;  // before the core goes: it reads the list
    FileMenu* fileMenu_ = nullptr;
    QueueContextMenu* queueMenu_ = nullptr;
    std::vector<std::string> pathsToOpen_;  // given before the window was restored
    bool opensPaths_ = false;               // restored: paths are taken at once

    TFailureWindow* failureWindow_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    ConverterVersionProbe* converterProbe_ = nullptr;
    bool restored_ = false;           // the once-only flag of the restore
    bool waitingForCommand_ = false;  // jobs wait because no command was chosen
    CloseMode closeMode_ = CloseMode::None;
    bool closingNow_ = false;     // the close after the run: no second save
    bool sessionEnding_ = false;  // the system asked the program to end
};

}  // namespace palomix
