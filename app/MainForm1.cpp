#include "app/MainForm1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLibraryInfo>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QTranslator>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>

#include "app/AboutBox.h"
#include "app/Bevel.h"
#include "app/DroppedPaths.h"
#include "app/FailureWindow.h"
#include "app/FileMenu.h"
#include "app/JobGridModel.h"
#include "app/ProgressDelegate.h"
#include "app/ProgressWords.h"
#include "app/QueueContextMenu.h"
#include "app/QueueEndAction.h"
#include "app/QueueSaver.h"
#include "app/QueueTexts.h"
#include "app/RunOptionTexts.h"
#include "app/RunSettingsMenu.h"
#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "app/WindowPlacement.h"
#include "engine/RunTimerText.h"
#include "palomix/BuildInfo.h"
#include "platform/ErrorMode.h"
#include "platform/ExecutablePath.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "settings/IniFile.h"
#include "settings/StateFile.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/GradBox.h"
#include "widgets/MCCBox.h"

namespace palomix {

namespace {

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window's Japanese font: the classic Windows one where it exists, else its
// metric-compatible free counterpart, else a CJK font that has the glyphs.
QFont GothicFont(int pixelSize) {
    QFont font;
    font.setFamilies(
        {Q("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(pixelSize);
    return font;
}

QColor ToColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void SetTextColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
}

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

// The widest text the status column shows while converting, in the view's font, with room
// for what the view puts around a cell's text (the style's text margins on both sides, the
// style sheet's padding, the grid line); never below the column's layout width.
int StatusColumnWidth(const QTableView& view) {
    constexpr int kLayoutWidth = 115;
    constexpr int kPaddingAndGridLine = 2 + 1;
    const int textMargin =
        view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    const QFontMetrics metrics = view.fontMetrics();
    int widest = 0;
    // Digits differ in width in proportional fonts: the widest of them in every place.
    for (char digit = '0'; digit <= '9'; ++digit) {
        std::string text = ConvertingStatusText(0);
        std::replace(text.begin(), text.end(), '0', digit);
        widest = std::max(widest, metrics.horizontalAdvance(Q(text)));
    }
    for (const Language language : {Language::Japanese, Language::English}) {
        widest = std::max(widest, metrics.horizontalAdvance(Q(CaptionsFor(language).headerStatus)));
    }
    return std::max(kLayoutWidth, widest + 2 * textMargin + kPaddingAndGridLine);
}

QList<QRect> ScreenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(screen->availableGeometry());
    }
    return areas;
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
                    kCloseCancel};
}

TMainForm1::TMainForm1(MainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      programFolder_(environment.programFolder.empty() ? ExecutableFolder()
                                                       : std::move(environment.programFolder)),
      executablePath_(environment.executablePath.empty() ? ExecutablePath()
                                                         : std::move(environment.executablePath)),
      webSite_(environment.webSite.empty() ? std::string(kWebSite)
                                           : std::move(environment.webSite)),
      messages_(environment.messages ? std::move(environment.messages) : MessageBoxSink()),
      openWithDefault_(environment.openWithDefault
                           ? std::move(environment.openWithDefault)
                           : ReportingProgramOpener(TryOpenWithDefaultProgram)),
      places_(environment.places ? std::move(*environment.places)
                                 : FindProgramPlaces(programFolder_)),
      openFailures_(std::make_shared<OpenFailureMailbox>(this)) {
    // The launcher learns of a process's end on a thread of its own and hands the rest of the
    // work to this window's thread.
    PostToHost post = [this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    };
    EngineSetup setup;
    setup.programFolder = programFolder_;
    setup.devices = std::move(environment.devices);
    setup.makeLauncher = std::move(environment.makeLauncher);
    engine_ = std::make_unique<Engine>(std::move(setup), std::move(post));
    engine_->Catalogue().SetUserSettingsFolder(places_.userSettingsFolder);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    desktop_ =
        environment.makeDesktop ? environment.makeDesktop(*this) : SystemDesktopSession(*this);
    queueEnd_ = std::make_unique<QueueEndAction>(*this, *desktop_, messages_,
                                                 environment.powerCountdownSeconds);

    setFont(GothicFont(12));
    CreateControls();
    CreateMenus();
    // The File menu goes first, where desktops have it.
    fileMenu_ = new FileMenu(
        *menuBar(), S0->menuAction(), places_.stateFile,
        [this](const std::vector<std::string>& paths) { FormDropFiles(paths); }, this);
    queueMenu_ = new QueueContextMenu(
        *engine_, *StringGrid2, [this](const std::string& folder) { OpenWithDefault(folder); },
        this);
    if (const std::string queueFile =
            environment.queueFile.value_or(QueueFilePath(places_.stateFile));
        !queueFile.empty()) {
        queueSaver_ = std::make_unique<QueueSaver>(engine_->Jobs(), queueFile,
                                                   [this] { return QueueSettings(); });
        queueSaver_->OnWriteFailed = [this](const std::string& reason) {
            Message(FillIn(QueueTextsFor(TextLanguage()).notKeptFormat, "{reason}", reason));
        };
    }
    setCentralWidget(ClientArea);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    move(kInitialLeft, kInitialTop);

    // Drops anywhere over the window come here: no child takes them itself.
    setAcceptDrops(true);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setAcceptDrops(false);
    }

    SuppressCriticalErrorDialogs();
    LoadQtTranslations(Language::Japanese);
    ApplyCaptions(CaptionsFor(Language::Japanese));

    engine_->Jobs().AddObserver(this);
    engine_->SetObserver(this);

    Timer0 = new QTimer(this);
    Timer0->setInterval(1000);
    connect(Timer0, &QTimer::timeout, this, &TMainForm1::Timer0Timer);
    Timer0->start();
}

TMainForm1::~TMainForm1() {
    openFailures_->Close();
    if (qtTranslator_) {
        QCoreApplication::removeTranslator(qtTranslator_.get());
    }
    engine_->SetObserver(nullptr);
    engine_->Jobs().RemoveObserver(this);
    StringGrid2->setModel(nullptr);
}

void TMainForm1::CreateControls() {
    ClientArea = new QWidget(this);
    ClientArea->setFixedSize(kClientWidth, kClientHeight);

    GradBox0 = new TGradBox(ClientArea);
    GradBox0->setGeometry(0, 0, kClientWidth, kClientHeight);
    GradBox0->SetTopColor(RGBColor(255, 255, 255));
    GradBox0->SetLastColor(RGBColor(226, 226, 226));
    GradBox0->SetGradStyle(gsTopBottom);
    GradBox0->SetDrawOutLine(false);
    GradBox0->SetOutLineColor(RGBColor(255, 255, 255));
    GradBox0->SetFont3D(false);
    GradBox0->SetFontDepth(0);
    GradBox0->SetBackFont(RGBColor(255, 255, 255));
    GradBox0->SetCaptionLeft(0);
    GradBox0->SetCaptionTop(0);
    GradBox0->SetCaption({});

    const auto makeLabel = [this](int left, int top, int width) {
        auto* label = new QLabel(ClientArea);
        label->setGeometry(left, top, width, 16);
        label->setFont(GothicFont(16));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    Label1 = makeLabel(8, 8, 132);
    Label2 = makeLabel(8, 56, 130);
    Label3 = makeLabel(8, 104, 105);
    Label4 = makeLabel(12, 164, 380);
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label4->setWordWrap(true);
    SetTextColor(*Label4, QPalette::WindowText, Qt::black);

    Bevel1 = new TBevel(ClientArea);
    Bevel1->setGeometry(8, 152, 390, 4);

    StringGrid2 = new TStringGrid(ClientArea);
    StringGrid2->setGeometry(12, 188, 380, 240);
    SetUpGrid();

    const QColor darkGrey = ToColor(RGBColor(70, 70, 70));
    MultiComboBox1 = new TMultiColComboBox(ClientArea);
    MultiComboBox1->setGeometry(12, 28, 380, 20);
    MultiComboBox1->setCursor(Qt::PointingHandCursor);
    MultiComboBox1->SetCanEdit(false);
    MultiComboBox1->SetIndent(1);
    MultiComboBox1->SetColor(RGBColor(255, 255, 255));
    MultiComboBox1->SetDropDownCount(28);
    MultiComboBox1->SetItemHeight(14);
    MultiComboBox1->setFont(GothicFont(12));
    {
        TCBColumns& columns = MultiComboBox1->Columns();
        columns.Clear();
        const auto addColumn = [&columns](int width, TColor color, TColor fontColor) {
            TCBColumn& column = columns.Add();
            column.SetWidth(width);
            column.SetColor(color);
            column.SetFont(GothicFont(12));
            column.SetFontColor(fontColor);
        };
        addColumn(356, RGBColor(255, 255, 255), RGBColor(70, 70, 70));
        addColumn(500, RGBColor(240, 240, 240), RGBColor(70, 70, 70));
        addColumn(200, RGBColor(0, 0, 0), RGBColor(255, 255, 255));
    }
    MultiComboBox1->OnChange = [this](TMultiColComboBox& box) {
        engine_->Catalogue().SelectSettingsRow(box.ItemIndex());
        MultiComboBox1Change();
        // A file with one command leaves nothing more to choose.
        if (engine_->Catalogue().CommandRows().size() == 1) {
            StartWaitingJobs();
        }
    };

    MultiComboBox2 = new TMultiColComboBox(ClientArea);
    MultiComboBox2->setGeometry(12, 76, 380, 20);
    MultiComboBox2->setCursor(Qt::PointingHandCursor);
    MultiComboBox2->SetCanEdit(false);
    MultiComboBox2->SetIndent(1);
    MultiComboBox2->SetColor(RGBColor(255, 255, 255));
    MultiComboBox2->SetDropDownCount(28);
    MultiComboBox2->SetItemHeight(14);
    MultiComboBox2->setFont(GothicFont(12));
    {
        TCBColumns& columns = MultiComboBox2->Columns();
        columns.Clear();
        TCBColumn& column = columns.Add();
        column.SetWidth(380);
        column.SetFontColor(RGBColor(0, 0, 0));
    }
    MultiComboBox2->OnChange = [this](TMultiColComboBox& /*box*/) { MultiComboBox2Pick(); };

    BrowserEdit1 = new TFolderBrowseEdit(ClientArea);
    BrowserEdit1->setGeometry(12, 124, 380, 20);
    BrowserEdit1->setCursor(Qt::IBeamCursor);
    BrowserEdit1->SetReadOnly(true);
    BrowserEdit1->SetStartWithLast(true);
    BrowserEdit1->setFont(GothicFont(12));
    SetTextColor(*BrowserEdit1, QPalette::Text, darkGrey);
    // The run reads the folder at the start of every job, as the field shows it then.
    connect(BrowserEdit1, &QLineEdit::textChanged, this, [this](const QString& text) {
        engine_->SetOutputFolder(text.toStdString());
        if (queueSaver_) {
            queueSaver_->SettingsChanged();
        }
    });

    ListBox1 = new QListWidget(ClientArea);
    ListBox1->setGeometry(292, 8, 97, 17);
    ListBox1->hide();

    Button1 = new QPushButton(ClientArea);
    Button1->setGeometry(286, 434, 100, 25);
    Button1->setEnabled(false);
    Button1->setFont(GothicFont(16));
    SetTextColor(*Button1, QPalette::ButtonText, Qt::black);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    RunStatus1 = new TRunStatusStrip(ClientArea);
    RunStatus1->setGeometry(12, 434, 268, 25);
    RunStatus1->setFont(GothicFont(12));
    RunStatus1->OnClick = [this] { ShowFailures(); };

    // Tab moves between the controls: the grid does not keep it for moves between its cells.
    StringGrid2->setTabKeyNavigation(false);
    setTabOrder(StringGrid2, MultiComboBox1);
    setTabOrder(MultiComboBox1, MultiComboBox2);
    setTabOrder(MultiComboBox2, BrowserEdit1);
    setTabOrder(BrowserEdit1, Button1);
}

void TMainForm1::SetUpGrid() {
    gridModel_ = std::make_unique<JobGridModel>(engine_->Jobs());
    StringGrid2->setModel(gridModel_.get());
    StringGrid2->setFont(GothicFont(12));
    StringGrid2->setShowGrid(true);
    // Flat: a one-pixel frame, grey lines, the header row in the fixed colour.
    const QString style = QStringLiteral(
        "QTableView { border: 1px solid rgb(0, 0, 0); background-color: rgb(255, 255, 255);"
        " gridline-color: rgb(192, 192, 192); color: rgb(0, 0, 0); }"
        "QTableView::item { padding-left: 2px; }"
        "QHeaderView::section { background-color: rgb(226, 226, 226); color: rgb(0, 0, 0);"
        " border: none; border-right: 1px solid rgb(160, 160, 160);"
        " border-bottom: 1px solid rgb(160, 160, 160); padding-left: 2px; }");
    StringGrid2->setStyleSheet(style);
    // The fixed column lies inside the frame, so it has none of its own.
    StringGrid2->FixedColumn().setStyleSheet(style +
                                             QStringLiteral("QTableView { border: none; }"));
    StringGrid2->SetRowHeight(16);
    StringGrid2->SetColumnWidth(kStatusColumn, StatusColumnWidth(StringGrid2->FixedColumn()));
    StringGrid2->SetColumnWidth(kFileNameColumn, 262);
    StringGrid2->SetColumnWidth(kFullPathColumn, 262);

    // A converting row's status cell shows its progress as a bar, its tool tip in words.
    const auto progressOf = [this](int row) -> std::optional<JobProgress> {
        if (row < 0 || row >= engine_->JobCount()) {
            return std::nullopt;
        }
        return engine_->ProgressOf(engine_->Jobs().Id(row));
    };
    progressDelegate_ = new ProgressDelegate(
        progressOf,
        [this, progressOf](int row) {
            const std::optional<JobProgress> progress = progressOf(row);
            return progress ? Q(JobProgressToolTip(*progress, RunOptionTextsFor(TextLanguage())))
                            : QString();
        },
        this);
    StringGrid2->setItemDelegate(progressDelegate_);
    StringGrid2->FixedColumn().setItemDelegate(progressDelegate_);
}

void TMainForm1::CreateMenus() {
    QMenuBar* bar = menuBar();
    S0 = bar->addMenu(QString());
    S1 = S0->addAction(QString());
    connect(S1, &QAction::triggered, this, [this] { S1Click(); });
    S2 = S0->addAction(QString());
    S2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(S2, &QAction::triggered, this, [this] { S2Click(); });
    runMenu_ = new RunSettingsMenu(*S0);
    runMenu_->OnChange = [this](const RunChoices& choices) { ApplyRunChoices(*engine_, choices); };
    runMenu_->OnFinishAfterCurrent = [this] { engine_->FinishAfterCurrent(); };
    runMenu_->OnStopAll = [this] { engine_->StopAll(); };

    B0 = bar->addMenu(Q(kMenuB0Caption));
    B1 = B0->addAction(Q(kMenuB1Caption));
    B1->setCheckable(true);
    B1->setChecked(true);
    connect(B1, &QAction::triggered, this, [this] { B1Click(); });
    B2 = B0->addAction(Q(kMenuB2Caption));
    B2->setCheckable(true);
    B2->setChecked(false);
    connect(B2, &QAction::triggered, this, [this] { B2Click(); });

    H0 = bar->addMenu(QString());
    H1 = H0->addAction(QString());
    connect(H1, &QAction::triggered, this, [this] { H1Click(); });
    N3 = H0->addSeparator();
    H2 = H0->addAction(QString());
    connect(H2, &QAction::triggered, this, [this] { H2Click(); });
    N4 = H0->addSeparator();
    H3 = H0->addAction(QString());
    connect(H3, &QAction::triggered, this, [this] { H3Click(); });
}

LanguageMarks TMainForm1::Marks() const {
    return LanguageMarks{B1->isChecked(), B2->isChecked()};
}

Language TMainForm1::TextLanguage() const {
    return Marks().Current().value_or(Language::Japanese);
}

std::string TMainForm1::StateFile() const {
    return places_.stateFile;
}

void TMainForm1::Message(const std::string& text) {
    messages_->ShowMessage(this, Q(text));
}

// --- Captions and lists --------------------------------------------------------------------

void TMainForm1::ApplyCaptions(const WindowCaptions& captions) {
    setWindowTitle(Q(captions.windowCaption));
    S0->setTitle(Q(captions.menuS0));
    S1->setText(Q(captions.menuS1));
    H0->setTitle(Q(captions.menuH0));
    H1->setText(Q(captions.menuH1));
    H2->setText(Q(captions.menuH2));
    S2->setText(Q(captions.menuS2));
    H3->setText(Q(captions.menuH3));
    // The three headings size themselves to their text; the drop hint keeps its size and
    // wraps.
    for (const auto& [label, text] :
         {std::pair{Label1, captions.label1}, std::pair{Label2, captions.label2},
          std::pair{Label3, captions.label3}}) {
        label->setText(Q(text));
        label->resize(label->sizeHint().width(), label->height());
    }
    Label4->setText(Q(captions.label4));
    Button1->setText(Q(captions.button1));
    runMenu_->SetTexts(RunOptionTextsFor(TextLanguage()));
    gridModel_->SetCaptions(captions, RunTextsFor(TextLanguage()));
    fileMenu_->SetLanguage(TextLanguage());
    queueMenu_->SetLanguage(TextLanguage());
}

std::string TMainForm1::GridCell(int column, int row) const {
    return gridModel_->Cell(column, row);
}

void TMainForm1::ShowCatalogue() {
    ListBox1->clear();
    MultiComboBox1->ClearItems();
    for (const std::string& path : engine_->Catalogue().Paths()) {
        ListBox1->addItem(Q(path));
    }
    const std::vector<CatalogueEntry>& entries = engine_->Catalogue().Entries();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const CatalogueEntry& entry = entries[row];
        MultiComboBox1->AddItem(entry.RowText());
        // The open list cuts long titles and descriptions: the whole of them in a tool tip.
        MultiComboBox1->setItemData(static_cast<int>(row),
                                    Q(entry.title + "\n" + entry.description + "\n" + entry.path),
                                    Qt::ToolTipRole);
    }
    MultiComboBox1->SetItemIndex(engine_->Catalogue().SelectedSettingsRow());
    ShowSelectorToolTips();
}

void TMainForm1::ShowCommandList() {
    MultiComboBox2->ClearItems();
    for (const CommandRow& row : engine_->Catalogue().CommandRows()) {
        MultiComboBox2->AddItem(row.RowText());
    }
    MultiComboBox2->SetItemIndex(engine_->Catalogue().SelectedCommandRow());
    ShowCommandToolTips();
}

void TMainForm1::ShowCommandToolTips() {
    // Each command's title, and what it needs that cores/ffmpeg lacks; that answer may come
    // later (ConverterChecked).
    const std::vector<CommandRow>& rows = engine_->Catalogue().CommandRows();
    const std::optional<std::string> settingsFile = engine_->Catalogue().SelectedSettingsPath();
    const RunTexts& texts = RunTextsFor(TextLanguage());
    for (std::size_t row = 0; row < rows.size(); ++row) {
        std::string tip = rows[row].title;
        if (settingsFile) {
            const ChosenCommand command{*settingsFile, rows[row].itemNumber};
            for (const ConverterNeed& need : engine_->CommandNeeds(command).missing) {
                tip += "\n" + ConverterNeedWords(need, texts);
            }
        }
        MultiComboBox2->setItemData(static_cast<int>(row), Q(tip), Qt::ToolTipRole);
    }
    ShowSelectorToolTips();
}

void TMainForm1::ConverterChecked() {
    ShowCommandToolTips();
}

void TMainForm1::ShowSelectorToolTips() {
    for (TMultiColComboBox* box : {MultiComboBox1, MultiComboBox2}) {
        const int row = box->ItemIndex();
        box->setToolTip(row >= 0 ? box->itemData(row, Qt::ToolTipRole).toString() : QString());
    }
}

void TMainForm1::SetLanguage(Language language) {
    B1->setChecked(language == Language::Japanese);
    B2->setChecked(language == Language::English);
    LoadQtTranslations(language);
    SettingsCatalogue& catalogue = engine_->Catalogue();
    // The choices stay when the other language has them: the same file, the same item.
    const std::optional<std::string> settingsFile = catalogue.SelectedSettingsPath();
    const std::optional<ChosenCommand> command = catalogue.SelectedCommand();
    const CatalogueLoadResult load = catalogue.LoadSettingsCatalogue(language);
    if (load.folderMissing) {
        Message(load.message);
    } else {
        if (settingsFile && catalogue.SelectSettingsFile(*settingsFile)) {
            catalogue.MultiComboBox1Change(std::optional<Language>(language));
            if (command) {
                catalogue.SelectCommandItem(command->itemNumber);
            }
        }
        ShowCatalogue();
        ShowCommandList();
    }
    ApplyCaptions(CaptionsFor(language));
    UpdateRunStatus();
    UpdateAboutBox();
}

void TMainForm1::LoadQtTranslations(Language language) {
    if (qtTranslator_) {
        QCoreApplication::removeTranslator(qtTranslator_.get());
        qtTranslator_.reset();
    }
    if (language != Language::Japanese) {
        return;  // Qt's own texts are English
    }
    auto translator = std::make_unique<QTranslator>();
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    // Qt's translations where Qt was installed, else a translations folder beside the program
    // (a copy that brings its own Qt).
    for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  Q(JoinPath(programFolder_, "translations"))}) {
        if (translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            qtTranslator_ = std::move(translator);
            return;
        }
    }
}

void TMainForm1::B1Click() {
    SetLanguage(Language::Japanese);
}

void TMainForm1::B2Click() {
    SetLanguage(Language::English);
}

void TMainForm1::MultiComboBox1Change() {
    engine_->Catalogue().MultiComboBox1Change(Marks());
    ShowCommandList();
    if (queueSaver_) {
        queueSaver_->SettingsChanged();
    }
}

void TMainForm1::MultiComboBox2Pick() {
    engine_->Catalogue().SelectCommandRow(MultiComboBox2->ItemIndex());
    ShowSelectorToolTips();
    if (queueSaver_) {
        queueSaver_->SettingsChanged();
    }
    StartWaitingJobs();
}

void TMainForm1::StartWaitingJobs() {
    // Jobs that were dropped before a command was chosen start once the user has chosen one.
    if (waitingForCommand_ && !engine_->Jobs().Empty() && !engine_->RunActive() &&
        engine_->Catalogue().SelectedCommand()) {
        StartRun();
    }
    UpdateRunStatus();
}

// --- Menus -------------------------------------------------------------------------------

void TMainForm1::S1Click() {
    engine_->Catalogue().S1Click([this](const std::string& path) { OpenWithDefault(path); });
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
    if (converterProbe_ == nullptr) {
        const std::string converter = JoinPath(JoinPath(programFolder_, "cores"), "ffmpeg");
        converterProbe_ = new ConverterVersionProbe(Q(converter), this);
        connect(converterProbe_, &ConverterVersionProbe::Answered, this,
                [this] { UpdateAboutBox(); });
    }
    if (aboutBox_ == nullptr) {
        aboutBox_ = new TAboutBox(this);
        aboutBox_->setAcceptDrops(false);
    }
    converterProbe_->Ask();
    aboutBox_->show();
    UpdateAboutBox();
    aboutBox_->raise();
    aboutBox_->activateWindow();
}

void TMainForm1::UpdateAboutBox() {
    if (aboutBox_ == nullptr || !aboutBox_->isVisible()) {
        return;
    }
    AboutFacts facts;
    facts.version = std::string(kVersion);
    facts.webSite = webSite_;
    facts.licence = std::string(kLicence);
    if (converterProbe_ != nullptr) {
        facts.converter = converterProbe_->Answer();
    }
    facts.programFolder = programFolder_;
    facts.stateFile = StateFile();
    facts.settingsFolders.push_back(engine_->Catalogue().SettingsFolder());
    if (!places_.userSettingsFolder.empty()) {
        facts.settingsFolders.push_back(places_.userSettingsFolder);
    }
    const AboutTexts& texts = AboutTextsFor(TextLanguage());
    aboutBox_->SetContents(Q(texts.title), Q(AboutText(facts, texts)), Q(texts.closeButton));
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

// --- State file ----------------------------------------------------------------------------

void TMainForm1::MoveFrameTo(QPoint position) {
    // A window on screen is placed by its frame, which the window manager adds around it; one
    // that is not shown yet takes the position as its frame's too.
    if (QWindow* window = windowHandle(); window != nullptr && isVisible()) {
        window->setFramePosition(position);
    } else {
        move(position);
    }
}

void TMainForm1::FormActivate() {
    if (restored_) {
        return;
    }
    // Set first: an activation while the steps below run (a message box closing) does nothing.
    restored_ = true;
    IniReader reader;
    const StoredState stored = ReadApplicationState(reader, StateFile());

    // The saved place is the frame's; a place on no screen now gives the layout place.
    const QPoint saved(stored.left.value_or(x()), stored.top.value_or(y()));
    MoveFrameTo(RestoredFramePosition(saved, frameGeometry().size(), ScreenAreas(),
                                      QPoint(kInitialLeft, kInitialTop)));

    const bool japanese = stored.japanese.value_or(B1->isChecked());
    B1->setChecked(japanese);
    if (japanese) {
        B1Click();
    }
    const bool english = stored.english.value_or(B2->isChecked());
    B2->setChecked(english);
    if (english) {
        B2Click();
    }
    if (!japanese && !english) {
        LoadQtTranslations(TextLanguage());
    }

    engine_->Catalogue().SelectSettingsRow(
        stored.settingsRow.value_or(engine_->Catalogue().SelectedSettingsRow()));
    MultiComboBox1->SetItemIndex(engine_->Catalogue().SelectedSettingsRow());
    MultiComboBox1Change();

    engine_->Catalogue().SelectCommandRow(
        stored.commandRow.value_or(engine_->Catalogue().SelectedCommandRow()));
    MultiComboBox2->SetItemIndex(engine_->Catalogue().SelectedCommandRow());
    ShowSelectorToolTips();

    std::string folder = stored.outputFolder.value_or(BrowserEdit1->Path());
    if (folder.empty()) {
        folder = places_.defaultOutputFolder;
    }
    BrowserEdit1->SetPath(folder);
    runMenu_->Show(stored.run);
    ApplyRunChoices(*engine_, stored.run);
    UpdateRunStatus();

    fileMenu_->Restore();
    RestoreQueue();
    opensPaths_ = true;
    OpenPaths(std::exchange(pathsToOpen_, {}));
}

bool TMainForm1::FormClose(bool quiet) {
    if (!restored_) {
        return true;  // nothing of this window's own to keep yet
    }
    ApplicationState state;
    // The frame's place: the window manager puts the frame there at the next start.
    state.left = frameGeometry().x();
    state.top = frameGeometry().y();
    state.japanese = B1->isChecked();
    state.english = B2->isChecked();
    state.settingsRow = MultiComboBox1->ItemIndex();
    state.commandRow = MultiComboBox2->ItemIndex();
    state.outputFolder = BrowserEdit1->Path();
    state.run = runMenu_->Choices();
    const auto tell = [this, quiet](const std::string& text) {
        if (quiet) {
            std::fprintf(stderr, "%s\n", text.c_str());
        } else {
            Message(text);
        }
    };
    try {
        // The user's folder of an installed copy may not be there yet.
        CreateFolderTree(FolderOf(StateFile()));
        if (SaveApplicationState(StateFile(), state).outputFolderTooLong) {
            // Saved, but it would come back cut: the next start uses the default folder.
            tell(std::string(RunTextsFor(TextLanguage()).outputFolderTooLong));
        }
        return true;
    } catch (const IniWriteError& error) {
        tell(std::string(RunTextsFor(TextLanguage()).stateNotSaved) + "\n" + error.what());
        return false;
    }
}

// --- Window events -------------------------------------------------------------------------

bool TMainForm1::event(QEvent* event) {
    // The first showing counts as an activation too: a window manager that keeps the focus
    // elsewhere must not keep the state from being restored.
    if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && !restored_) {
        // After the event has been handled, so that the restore (which may show a message
        // box) runs outside the window system's event.
        QTimer::singleShot(0, this, [this] { FormActivate(); });
    }
    return QMainWindow::event(event);
}

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
    if (queueSaver_) {
        queueSaver_->SaveNow();  // the list as the window leaves it
    }
    for (QDialog* dialog :
         {static_cast<QDialog*>(failureWindow_), static_cast<QDialog*>(aboutBox_)}) {
        if (dialog != nullptr) {
            dialog->close();
        }
    }
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
            closeMode_ = CloseMode::None;
            UpdateRunStatus();
            break;
    }
}

void TMainForm1::CloseWhenDone() {
    FormClose();
    closeMode_ = CloseMode::WhenDone;
    if (!engine_->RunActive()) {
        CloseNow();  // the run ended while the question was open
    }
    UpdateRunStatus();
}

void TMainForm1::CloseAfterStopping(bool quiet) {
    FormClose(quiet);
    KeepWaitingFilesForNextTime();
    closeMode_ = CloseMode::AfterStop;
    if (engine_->RunActive()) {
        engine_->StopAll();  // RunEnded closes the window
    } else {
        CloseNow();
    }
    UpdateRunStatus();
}

void TMainForm1::CloseNow() {
    if (closingNow_) {
        return;
    }
    closingNow_ = true;
    // After the call that got here has returned (a report of the run, a nested loop).
    QTimer::singleShot(0, this, [this] { close(); });
}

void TMainForm1::KeepWaitingFilesForNextTime() {
    if (queueSaver_) {
        // As the list is now: the stop that follows takes the head job out of it.
        queueSaver_->SaveNow();
        queueSaver_->Stop();
    }
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

// --- The run -------------------------------------------------------------------------------

void TMainForm1::FormDropFiles(const std::vector<std::string>& paths) {
    if (!engine_->RunActive()) {
        report_.Reset();  // a new batch
    }
    const IntakeResult intake = engine_->AddPaths(paths);
    report_.PathsNotAdded(intake.skipped);
    StartRun();
    UpdateRunStatus();
}

void TMainForm1::ConvertAgainClick() {
    std::vector<std::string> files = report_.TakeFilesToConvertAgain();
    if (files.empty()) {
        return;
    }
    if (!engine_->RunActive()) {
        report_.Reset();  // a new batch
    }
    engine_->AddFiles(files);
    StartRun();
    UpdateRunStatus();
}

void TMainForm1::ClearFailuresClick() {
    report_.ClearFailures();
    UpdateRunStatus();
}

void TMainForm1::StartRun() {
    waitingForCommand_ = false;
    engine_->StartRun();
    if (engine_->RunActive()) {
        queueEnd_->CallOff();  // a countdown of the last run's end does not follow this one
    }
}

void TMainForm1::Timer0Timer() {
    engine_->Tick();
    if (engine_->RunActive()) {
        ShowRunState();
        StringGrid2->FixedColumn().viewport()->update();  // the progress bars
    }
}

void TMainForm1::Button1Click() {
    engine_->StopHead();
}

void TMainForm1::StopEnabledChanged(bool enabled) {
    Button1->setEnabled(enabled);
    UpdateRunStatus();
}

void TMainForm1::CommandStarted(const CommandStart& /*start*/) {
    report_.CommandStarted();
    UpdateRunStatus();
}

void TMainForm1::StopFailed() {
    if (closeMode_ == CloseMode::AfterStop) {
        return;  // closing: the command ended by itself, which is what the stop wanted
    }
    Message(std::string(RunTextsFor(TextLanguage()).stopFailed));
}

void TMainForm1::JobEnded(const JobResult& result) {
    report_.JobEnded(result);
    UpdateRunStatus();
}

void TMainForm1::RunEnded(const RunEnd& end) {
    UpdateRunStatus();
    TellRunEnd(end);
    if (closeMode_ != CloseMode::None) {
        CloseNow();
        return;
    }
    if (end.reason == RunEndReason::NothingSelected) {
        waitingForCommand_ = true;
        UpdateRunStatus();
        Message(std::string(RunTextsFor(TextLanguage()).chooseSettings));
    }
}

void TMainForm1::RowsInserted(int /*firstRow*/, int /*count*/) {
    UpdateRunStatus();
}

void TMainForm1::RowsRemoved(int /*firstRow*/, int /*count*/) {
    UpdateRunStatus();
}

void TMainForm1::TellRunEnd(const RunEnd& end) {
    if (closeMode_ == CloseMode::AfterStop || sessionEnding_) {
        return;  // the program ends at the user's or the system's word
    }
    const RunOptionTexts& texts = RunOptionTextsFor(TextLanguage());
    if (const std::optional<RunEndNotice> notice = NoticeOfRunEnd(
            end.reason, report_.Counts(),
            RunStatusLine(report_, false, engine_->JobCount(), RunTextsFor(TextLanguage())).text,
            texts)) {
        desktop_->Notify(notice->title, notice->body);
    }
    if (closeMode_ == CloseMode::None && QueueDoneActionFollows(end.reason, report_.Counts())) {
        queueEnd_->QueueDone(runMenu_->Choices().whenQueueDone, texts, [this] {
            FormClose();
            CloseNow();
        });
    }
}

void TMainForm1::UpdateRunStatus() {
    ShowRunState();
    UpdateFailureWindow();
}

void TMainForm1::ShowRunState() {
    const RunTexts& texts = RunTextsFor(TextLanguage());
    const bool active = engine_->RunActive();
    const std::string jobs = std::to_string(engine_->JobCount());
    StatusLine line;
    if (closeMode_ == CloseMode::AfterStop) {
        line.text = texts.closingAfterStop;
    } else if (closeMode_ == CloseMode::WhenDone) {
        line.text = FillIn(texts.closingWhenDoneFormat, "{jobs}", jobs);
    } else if (waitingForCommand_ && !active && !engine_->Jobs().Empty()) {
        line.text = FillIn(texts.waitingForCommandFormat, "{jobs}", jobs);
    } else {
        line = RunStatusLine(
            report_, active, engine_->JobCount(), texts,
            active ? QueueProgressWords(engine_->Queue(), RunOptionTextsFor(TextLanguage()))
                   : std::string());
    }
    RunStatus1->SetStatus(Q(line.text), report_.FailureCount() > 0, Q(line.path), Q(line.hint));
    // The desktop: no sleep while converting, the queue's share on the program's button.
    desktop_->KeepAwake(active);
    const std::optional<double> percent = active ? engine_->Queue().percent : std::nullopt;
    desktop_->ShowProgress(percent ? std::optional<double>(*percent / 100) : std::nullopt);
    runMenu_->SetRunActive(active);
}

void TMainForm1::UpdateFailureWindow() {
    if (failureWindow_ == nullptr || !failureWindow_->isVisible()) {
        return;
    }
    const RunTexts& texts = RunTextsFor(TextLanguage());
    failureWindow_->SetContents(Q(texts.failureWindowTitle), Q(FailureListText(report_, texts)),
                                Q(texts.convertAgainButton), Q(texts.clearListButton),
                                Q(texts.closeButton));
    failureWindow_->SetActions(report_.HasFilesToConvertAgain(), report_.FailureCount() > 0);
}

void TMainForm1::ShowFailures() {
    if (failureWindow_ == nullptr) {
        failureWindow_ = new TFailureWindow(this);
        failureWindow_->setAcceptDrops(false);
        failureWindow_->OnConvertAgain = [this] { ConvertAgainClick(); };
        failureWindow_->OnClear = [this] { ClearFailuresClick(); };
    }
    failureWindow_->show();
    UpdateFailureWindow();
    failureWindow_->raise();
    failureWindow_->activateWindow();
}

}  // namespace palomix
