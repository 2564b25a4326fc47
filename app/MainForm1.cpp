#include "app/MainForm1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <mutex>
#include <utility>

#include "app/AboutBox.h"
#include "app/CommandPicker.h"
#include "app/DroppedPaths.h"
#include "app/FileMenu.h"
#include "app/JobGridModel.h"
#include "app/QtFolderEvents.h"
#include "app/QtText.h"
#include "app/QueueContextMenu.h"
#include "app/QueueSaver.h"
#include "app/RunLogMenu.h"
#include "app/RunSettingsMenu.h"
#include "app/StringGrid.h"
#include "app/WatchedFolders.h"
#include "app/WindowState.h"
#include "palomix/BuildInfo.h"
#include "platform/ErrorMode.h"
#include "platform/ExecutablePath.h"
#include "platform/PathRules.h"
#include "platform/SystemLocale.h"
#include "settings/QueueFile.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix {

namespace {

// Files are taken as a copy (or a link), never as a move: a file manager that is told
// "moved" may delete the originals.
bool AcceptFileDrag(QDropEvent& event) {
    if (DroppedPaths(event.mimeData()).empty()) {
        event.ignore();
        return false;
    }
    if (event.possibleActions() & Qt::CopyAction) {
        event.setDropAction(Qt::CopyAction);
    } else if (event.possibleActions() & Qt::LinkAction) {
        event.setDropAction(Qt::LinkAction);
    } else {
        event.ignore();
        return false;
    }
    event.accept();
    return true;
}

}  // namespace

// Carries a failure to open a file or page from the opener's thread to the window, for as
// long as the window lives.
class OpenFailureMailbox {
public:
    explicit OpenFailureMailbox(TMainForm1* form) : form_(form) {}

    void Post(std::string target, OpenFailure failure) {
        const std::lock_guard lock(mutex_);
        if (form_ != nullptr) {
            TMainForm1* form = form_;
            QMetaObject::invokeMethod(
                form,
                [form, target = std::move(target), failure] { form->OpenFailed(target, failure); },
                Qt::QueuedConnection);
        }
    }
    // The window is going: later failures are dropped.
    void Close() {
        const std::lock_guard lock(mutex_);
        form_ = nullptr;
    }

private:
    std::mutex mutex_;
    TMainForm1* form_;
};

std::string SoftwareInformationAddress(std::string_view webSite, std::string_view executablePath) {
    return std::string(webSite) + "/info.php?pf=w&sn=" + BaseNameOf(executablePath);
}

Question CloseDuringRunQuestion(const RunTexts& texts) {
    return Question{Q(texts.closeQuestion),
                    {Q(texts.closeStopAndQuit), Q(texts.closeWhenDone), Q(texts.closeCancel)},
                    kCloseWhenDone,
                    kCloseCancel,
                    {}};
}

namespace {

// The core of the window: its launcher learns of a process's end on a thread of its own and
// hands the rest of the work to the window's thread.
std::unique_ptr<Engine> MakeCore(QObject& window, std::string programFolder,
                                 std::string userSettingsFolder, MainFormEnvironment& environment) {
    PostToHost post = [&window](std::function<void()> task) {
        QMetaObject::invokeMethod(&window, std::move(task), Qt::QueuedConnection);
    };
    EngineSetup setup;
    setup.programFolder = std::move(programFolder);
    setup.userSettingsFolder = std::move(userSettingsFolder);
    setup.devices = std::move(environment.devices);
    setup.makeLauncher = std::move(environment.makeLauncher);
    // Watched folders are told of by the window's own event loop.
    setup.makeFolderEvents = [](PostToHost, FolderEvents::Deliver deliver) {
        return std::make_unique<QtFolderEvents>(std::move(deliver));
    };
    setup.watchRecordFolder = environment.watchRecordFolder;
    auto engine = std::make_unique<Engine>(std::move(setup), std::move(post));
    if (environment.watchTiming) {
        engine->SetWatchTiming(*environment.watchTiming);
    }
    return engine;
}

}  // namespace

TMainForm1::TMainForm1(MainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      programFolder_(environment.programFolder.empty() ? ExecutableFolder()
                                                       : std::move(environment.programFolder)),
      executablePath_(environment.executablePath.empty() ? ExecutablePath()
                                                         : std::move(environment.executablePath)),
      webSite_(std::move(environment.webSite).value_or(std::string(kWebSite))),
      messages_(environment.messages ? std::move(environment.messages) : MessageBoxSink()),
      openWithDefault_(environment.openWithDefault
                           ? std::move(environment.openWithDefault)
                           : ReportingProgramOpener(TryOpenWithDefaultProgram)),
      places_(environment.places ? std::move(*environment.places)
                                 : FindProgramPlaces(programFolder_)),
      openFailures_(std::make_shared<OpenFailureMailbox>(this)),
      engine_(MakeCore(*this, programFolder_, places_.userSettingsFolder, environment)),
      gridModel_(std::make_unique<JobGridModel>(*engine_)),
      qtTexts_(programFolder_) {
    BuildWindowLayout(*this, *this, *gridModel_);
    desktop_ =
        environment.makeDesktop ? environment.makeDesktop(*this) : SystemDesktopSession(*this);
    MakeParts(environment);
    ConnectControls();
    // A build given no web site has no page to open.
    H1->setVisible(!webSite_.empty());
    H2->setVisible(!webSite_.empty());

    // Drops anywhere over the window come here: no child takes them itself.
    setAcceptDrops(true);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setAcceptDrops(false);
    }
    SuppressCriticalErrorDialogs();
    // The window comes up in the language it starts in: the saved one, else the system's.
    const std::optional<Language> start = state_->StartLanguage();
    B1->setChecked(start == Language::Japanese);
    B2->setChecked(start == Language::English);
    qtTexts_.Load(TextLanguage());
    ShowCaptions();
    Timer0->start();
}

TMainForm1::~TMainForm1() {
    openFailures_->Close();
    watched_->CloseWindows();
    // The parts go before the core and the grid's model: the grid shows nothing from now on.
    StringGrid2->setModel(nullptr);
}

void TMainForm1::MakeParts(const MainFormEnvironment& environment) {
    runMenu_ = new RunSettingsMenu(*S0);
    // The File menu goes first, where desktops have it.
    fileMenu_ = new FileMenu(
        *menuBar(), S0->menuAction(), places_.stateFile,
        [this](const std::vector<std::string>& paths) { FormDropFiles(paths); }, this);
    watched_ =
        new WatchedFolders(*engine_, *fileMenu_->F0, *this, places_.stateFile, messages_, [this] {
            WatchSettings defaults;
            defaults.command = engine_->SelectedCommand().value_or(ChosenCommand{});
            defaults.outputFolder =
                BrowserEdit1->Path().empty() ? places_.defaultOutputFolder : BrowserEdit1->Path();
            return defaults;
        });
    queueMenu_ = new QueueContextMenu(
        *engine_, *StringGrid2, [this](const std::string& folder) { OpenWithDefault(folder); },
        this);
    runLogMenu_ = std::make_unique<RunLogMenu>(
        *engine_, *H0, N4, environment.runLogFolder.value_or(RunLogFolder().value_or("")),
        [this](const std::string& folder) { OpenWithDefault(folder); },
        [this](const std::string& text) { Message(text); });
    presenter_ = std::make_unique<RunPresenter>(
        RunPresenter::Parts{*engine_, *this, *this, *runMenu_, *desktop_, messages_,
                            environment.powerCountdownSeconds});
    picker_ = std::make_unique<CommandPicker>(*engine_, *this);

    AboutFacts about;
    about.version = std::string(kVersion);
    about.webSite = webSite_;
    about.licence = std::string(kLicence);
    about.programFolder = programFolder_;
    about.stateFile = places_.stateFile;
    about.settingsFolders.push_back(engine_->SettingsFolder());
    if (!engine_->UserSettingsFolder().empty()) {
        about.settingsFolders.push_back(engine_->UserSettingsFolder());
    }
    about_ = std::make_unique<AboutPresenter>(*engine_, *this, std::move(about),
                                              [this] { return TextLanguage(); });

    state_ = std::make_unique<WindowState>(WindowState::Parts{
        *this, *this, *engine_, *picker_, *presenter_, *runMenu_, *fileMenu_, messages_, places_,
        environment.queueFile.value_or(QueueFilePath(places_.stateFile)),
        environment.systemLocale.value_or(SystemLocaleName()),
        [this](Language language) { SetLanguage(language); },
        [this] { qtTexts_.Load(TextLanguage()); }});
}

void TMainForm1::ConnectControls() {
    // The run reads the folder at the start of every job, as the field shows it then.
    connect(BrowserEdit1, &QLineEdit::textChanged, this, [this](const QString& text) {
        engine_->SetOutputFolder(text.toStdString());
        state_->SettingsChanged();
    });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Timer0, &QTimer::timeout, this, &TMainForm1::Timer0Timer);
    for (const auto& item :
         {std::pair{S1, &TMainForm1::S1Click}, std::pair{S2, &TMainForm1::S2Click},
          std::pair{B1, &TMainForm1::B1Click}, std::pair{B2, &TMainForm1::B2Click},
          std::pair{H1, &TMainForm1::H1Click}, std::pair{H2, &TMainForm1::H2Click},
          std::pair{H3, &TMainForm1::H3Click}}) {
        // A named copy: a lambda may not capture a structured binding under every compiler.
        const auto handler = item.second;
        connect(item.first, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    }
    runMenu_->OnChange = [this](const RunChoices& choices) { ApplyRunChoices(*engine_, choices); };
    runMenu_->OnFinishAfterCurrent = [this] { engine_->FinishAfterCurrent(); };
    runMenu_->OnStopAll = [this] { engine_->StopAll(); };
    picker_->OnChoiceChanged = [this] { state_->SettingsChanged(); };
    picker_->OnCommandChosen = [this] { presenter_->StartWaitingJobs(); };
    queueMenu_->OnStart = [this] { presenter_->StartWaiting(); };
    presenter_->OnCloseNow = [this] { CloseNow(); };
    presenter_->OnQuitWhenDone = [this] {
        FormClose();
        CloseNow();
    };
}

// --- State for the front end ---------------------------------------------------------------

LanguageMarks TMainForm1::Marks() const {
    return MarksOf(*this);
}

Language TMainForm1::TextLanguage() const {
    return TextLanguageOf(*this);
}

std::string TMainForm1::GridCell(int column, int row) const {
    return gridModel_->Cell(column, row);
}

TAboutBox* TMainForm1::AboutBox() const {
    return about_->Box();
}

QueueSaver* TMainForm1::Saver() const {
    return state_->Saver();
}

void TMainForm1::ShowFailures() {
    presenter_->ShowFailures();
}

void TMainForm1::Message(const std::string& text) {
    messages_->ShowMessage(this, Q(text));
}

// --- Language ------------------------------------------------------------------------------

void TMainForm1::SetLanguage(Language language) {
    B1->setChecked(language == Language::Japanese);
    B2->setChecked(language == Language::English);
    qtTexts_.Load(language);
    if (const CatalogueLoadResult load = picker_->Reload(language); load.folderMissing) {
        Message(load.message);
    }
    ShowCaptions();
    presenter_->Refresh();
    about_->Refresh();
}

void TMainForm1::ShowCaptions() {
    const Language language = TextLanguage();
    ApplyCaptions(*this, *this, CaptionsFor(language));
    runMenu_->SetTexts(RunOptionTextsFor(language));
    gridModel_->SetCaptions(CaptionsFor(language), RunTextsFor(language));
    fileMenu_->SetLanguage(language);
    watched_->SetLanguage(language);
    queueMenu_->SetLanguage(language);
    runLogMenu_->SetLanguage(language);
}

void TMainForm1::B1Click() {
    SetLanguage(Language::Japanese);
}

void TMainForm1::B2Click() {
    SetLanguage(Language::English);
}

// --- Menus and selectors -------------------------------------------------------------------

void TMainForm1::MultiComboBox1Change() {
    picker_->SettingsFileChanged();
}

void TMainForm1::S1Click() {
    engine_->OpenSelectedSettingsFile([this](const std::string& path) { OpenWithDefault(path); });
}

void TMainForm1::S2Click() {
    ShowFailures();
}

void TMainForm1::H1Click() {
    OpenWithDefault(webSite_);
}

void TMainForm1::H2Click() {
    OpenWithDefault(SoftwareInformationAddress(webSite_, executablePath_));
}

void TMainForm1::H3Click() {
    about_->Show();
}

void TMainForm1::OpenWithDefault(const std::string& target) {
    openWithDefault_(target, [mailbox = openFailures_, target](const OpenFailure& failure) {
        mailbox->Post(target, failure);
    });
}

void TMainForm1::OpenFailed(const std::string& target, const OpenFailure& failure) {
    const RunTexts& texts = RunTextsFor(TextLanguage());
    std::string text;
    if (failure.kind == OpenFailure::Kind::NotStarted) {
        text = FillIn(FillIn(texts.openNotStartedFormat, "{target}", target), "{reason}",
                      SystemErrorWords(failure.code, texts));
    } else {
        text = FillIn(FillIn(texts.openFailedFormat, "{target}", target), "{code}",
                      std::to_string(failure.code));
    }
    Message(text);
}

// --- The run -------------------------------------------------------------------------------

void TMainForm1::FormDropFiles(const std::vector<std::string>& paths) {
    presenter_->TakeDrop(paths);
}

void TMainForm1::ConvertAgainClick() {
    presenter_->ConvertAgain();
}

void TMainForm1::ClearFailuresClick() {
    presenter_->ClearFailures();
}

void TMainForm1::Timer0Timer() {
    presenter_->Tick();
}

void TMainForm1::Button1Click() {
    engine_->StopHead();
}

// --- State between starts ------------------------------------------------------------------

void TMainForm1::FormActivate() {
    if (state_->Restore()) {
        // After the kept queue is back: its files of watched folders are not queued twice.
        watched_->Restore();
        opensPaths_ = true;
        OpenPaths(std::exchange(pathsToOpen_, {}));
    }
}

bool TMainForm1::FormClose(bool quiet) {
    return state_->Save(quiet);
}

void TMainForm1::OpenPaths(std::vector<std::string> paths) {
    if (!opensPaths_) {
        pathsToOpen_.insert(pathsToOpen_.end(), std::make_move_iterator(paths.begin()),
                            std::make_move_iterator(paths.end()));
        return;
    }
    presenter_->TakeArrivals(std::move(paths));
}

void TMainForm1::BringToFront() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
    if (QWindow* window = windowHandle()) {
        window->requestActivate();
    }
}

// --- Window events -------------------------------------------------------------------------

bool TMainForm1::event(QEvent* event) {
    // The first showing counts as an activation too: a window manager that keeps the focus
    // elsewhere must not keep the state from being restored.
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && state_ &&
        !state_->Restored()) {
        // After the event has been handled, so that the restore (which may show a message
        // box) runs outside the window system's event.
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
    return QMainWindow::event(event);
}

void TMainForm1::dragEnterEvent(QDragEnterEvent* event) {
    AcceptFileDrag(*event);
}

void TMainForm1::dragMoveEvent(QDragMoveEvent* event) {
    AcceptFileDrag(*event);
}

void TMainForm1::dropEvent(QDropEvent* event) {
    if (!AcceptFileDrag(*event)) {
        return;
    }
    // Taken after the drop has been answered, so that the file manager is not kept waiting
    // while folders are searched or a message is shown.
    QTimer::singleShot(0, this,
                       [this, paths = DroppedPaths(event->mimeData())] { FormDropFiles(paths); });
}

// --- Closing -------------------------------------------------------------------------------

void TMainForm1::closeEvent(QCloseEvent* event) {
    if (!closingNow_) {
        if (engine_->RunActive()) {
            // The question decides; the window closes when the run has ended, or stays.
            event->ignore();
            AskCloseDuringRun();
            return;
        }
        FormClose();
    }
    state_->SaveQueueNow();  // the list as the window leaves it
    presenter_->CloseFailures();
    about_->Close();
    event->accept();
}

void TMainForm1::AskCloseDuringRun() {
    const int answer = messages_->Ask(this, CloseDuringRunQuestion(RunTextsFor(TextLanguage())));
    if (sessionEnding_ || closingNow_) {
        return;  // decided while the question was open
    }
    switch (answer) {
        case kCloseStopAndQuit:
            CloseAfterStopping(false);
            break;
        case kCloseWhenDone:
            CloseWhenDone();
            break;
        default:
            // Also calls off a close that was waiting for the run.
            presenter_->SetPendingClose(CloseMode::None);
            break;
    }
}

void TMainForm1::CloseWhenDone() {
    FormClose();
    presenter_->SetPendingClose(CloseMode::WhenDone);
    if (!engine_->RunActive()) {
        CloseNow();  // the run ended while the question was open
    }
}

void TMainForm1::CloseAfterStopping(bool quiet) {
    FormClose(quiet);
    // The jobs still in the list are kept for the next start as they are now: the head job,
    // which the stop is about to end, still first.
    state_->KeepQueueAsItIs();
    presenter_->SetPendingClose(CloseMode::AfterStop);
    if (engine_->RunActive()) {
        engine_->StopAll();  // the run's end closes the window
    } else {
        CloseNow();
    }
}

void TMainForm1::CloseNow() {
    if (closingNow_) {
        return;
    }
    closingNow_ = true;
    // After the call that got here has returned (a report of the run, a nested loop).
    QTimer::singleShot(0, this, [this] { close(); });
}

void TMainForm1::SessionEnding() {
    if (sessionEnding_) {
        QCoreApplication::exit(0);  // asked again: no more waiting for the converters
        return;
    }
    sessionEnding_ = true;
    // An open box or dialog would keep the close waiting for a click nobody makes.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(widget);
            dialog != nullptr && dialog->isVisible()) {
            dialog->reject();
        }
    }
    CloseAfterStopping(true);
}

}  // namespace palomix
