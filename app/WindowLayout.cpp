#include "app/WindowLayout.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "app/Bevel.h"
#include "app/JobGridModel.h"
#include "app/QtText.h"
#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/GradBox.h"
#include "widgets/MCCBox.h"

namespace palomix {

namespace {

QColor ToColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void SetTextColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(role, color);
    widget.setPalette(palette);
}

// The colour of an enabled control's text; a disabled one keeps the style's greyed colour.
void SetEnabledTextColor(QWidget& widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Active, role, color);
    palette.setColor(QPalette::Inactive, role, color);
    widget.setPalette(palette);
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

void BuildBackground(WindowControls& controls) {
    controls.ClientArea->setFixedSize(kClientWidth, kClientHeight);
    TGradBox* box = controls.GradBox0 = new TGradBox(controls.ClientArea);
    box->setGeometry(0, 0, kClientWidth, kClientHeight);
    box->SetTopColor(RGBColor(255, 255, 255));
    box->SetLastColor(RGBColor(226, 226, 226));
    box->SetGradStyle(gsTopBottom);
    box->SetDrawOutLine(false);
    box->SetOutLineColor(RGBColor(255, 255, 255));
    box->SetFont3D(false);
    box->SetFontDepth(0);
    box->SetBackFont(RGBColor(255, 255, 255));
    box->SetCaptionLeft(0);
    box->SetCaptionTop(0);
    box->SetCaption({});
}

void BuildLabels(WindowControls& controls) {
    const auto makeLabel = [&controls](int left, int top, int width) {
        auto* label = new QLabel(controls.ClientArea);
        label->setGeometry(left, top, width, 16);
        label->setFont(GothicFont(16));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    controls.Label1 = makeLabel(8, 8, 132);
    controls.Label2 = makeLabel(8, 56, 130);
    controls.Label3 = makeLabel(8, 104, 105);
    controls.Label4 = makeLabel(12, 164, 380);
    controls.Label4->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    controls.Label4->setWordWrap(true);
    SetTextColor(*controls.Label4, QPalette::WindowText, Qt::black);
    controls.Bevel1 = new TBevel(controls.ClientArea);
    controls.Bevel1->setGeometry(8, 152, 390, 4);
}

// A selector of the window: white, pointing hand, not editable, 28 rows when open.
TMultiColComboBox* MakeSelector(QWidget* parent, int top) {
    auto* box = new TMultiColComboBox(parent);
    box->setGeometry(12, top, 380, 20);
    box->setCursor(Qt::PointingHandCursor);
    box->SetCanEdit(false);
    box->SetIndent(1);
    box->SetColor(RGBColor(255, 255, 255));
    box->SetDropDownCount(28);
    box->SetItemHeight(14);
    box->setFont(GothicFont(12));
    box->Columns().Clear();
    return box;
}

void BuildSelectors(WindowControls& controls) {
    // The settings files: title, description and file name.
    controls.MultiComboBox1 = MakeSelector(controls.ClientArea, 28);
    TCBColumns& files = controls.MultiComboBox1->Columns();
    for (const auto& [width, color, fontColor] :
         {std::tuple{356, RGBColor(255, 255, 255), RGBColor(70, 70, 70)},
          std::tuple{500, RGBColor(240, 240, 240), RGBColor(70, 70, 70)},
          std::tuple{200, RGBColor(0, 0, 0), RGBColor(255, 255, 255)}}) {
        TCBColumn& column = files.Add();
        column.SetWidth(width);
        column.SetColor(color);
        column.SetFont(GothicFont(12));
        column.SetFontColor(fontColor);
    }
    // The commands: their titles.
    controls.MultiComboBox2 = MakeSelector(controls.ClientArea, 76);
    TCBColumn& command = controls.MultiComboBox2->Columns().Add();
    command.SetWidth(380);
    command.SetFontColor(RGBColor(0, 0, 0));

    controls.BrowserEdit1 = new TFolderBrowseEdit(controls.ClientArea);
    controls.BrowserEdit1->setGeometry(12, 124, 380, 20);
    controls.BrowserEdit1->setCursor(Qt::IBeamCursor);
    controls.BrowserEdit1->SetReadOnly(true);
    controls.BrowserEdit1->SetStartWithLast(true);
    // The dialog takes a typed path too.
    TBrowseOptions options = controls.BrowserEdit1->Options();
    options.Include(doAllowEdit);
    controls.BrowserEdit1->SetOptions(options);
    controls.BrowserEdit1->setFont(GothicFont(12));
    SetTextColor(*controls.BrowserEdit1, QPalette::Text, ToColor(RGBColor(70, 70, 70)));

    controls.ListBox1 = new QListWidget(controls.ClientArea);
    controls.ListBox1->setGeometry(292, 8, 97, 17);
    controls.ListBox1->hide();
}

void BuildGrid(WindowControls& controls, QAbstractItemModel& jobs) {
    TStringGrid* grid = controls.StringGrid2 = new TStringGrid(controls.ClientArea);
    grid->setGeometry(12, 188, 380, 240);
    grid->setModel(&jobs);
    grid->setFont(GothicFont(12));
    grid->setShowGrid(true);
    // Flat: a one-pixel frame, grey lines, the header row in the fixed colour.
    const QString style = QStringLiteral(
        "QTableView { border: 1px solid rgb(0, 0, 0); background-color: rgb(255, 255, 255);"
        " gridline-color: rgb(192, 192, 192); color: rgb(0, 0, 0); }"
        "QTableView::item { padding-left: 2px; }"
        "QHeaderView::section { background-color: rgb(226, 226, 226); color: rgb(0, 0, 0);"
        " border: none; border-right: 1px solid rgb(160, 160, 160);"
        " border-bottom: 1px solid rgb(160, 160, 160); padding-left: 2px; }");
    grid->setStyleSheet(style);
    // The fixed column lies inside the frame, so it has none of its own.
    grid->FixedColumn().setStyleSheet(style + QStringLiteral("QTableView { border: none; }"));
    grid->SetRowHeight(16);
    grid->SetColumnWidth(kStatusColumn, StatusColumnWidth(grid->FixedColumn()));
    grid->SetColumnWidth(kFileNameColumn, 262);
    grid->SetColumnWidth(kFullPathColumn, 262);
    // Tab moves between the controls: the grid does not keep it for moves between its cells.
    grid->setTabKeyNavigation(false);
}

void BuildStrip(WindowControls& controls) {
    controls.Button1 = new QPushButton(controls.ClientArea);
    controls.Button1->setGeometry(286, 434, 100, 25);
    controls.Button1->setEnabled(false);
    controls.Button1->setFont(GothicFont(16));
    SetEnabledTextColor(*controls.Button1, QPalette::ButtonText, Qt::black);

    controls.RunStatus1 = new TRunStatusStrip(controls.ClientArea);
    controls.RunStatus1->setGeometry(12, 434, 268, 25);
    controls.RunStatus1->setFont(GothicFont(12));
}

void BuildMenus(QMenuBar& bar, WindowControls& controls) {
    controls.S0 = bar.addMenu(QString());
    controls.S1 = controls.S0->addAction(QString());
    controls.S2 = controls.S0->addAction(QString());
    controls.S2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    controls.B0 = bar.addMenu(Q(kMenuB0Caption));
    controls.B1 = controls.B0->addAction(Q(kMenuB1Caption));
    controls.B1->setCheckable(true);
    controls.B1->setChecked(true);
    controls.B2 = controls.B0->addAction(Q(kMenuB2Caption));
    controls.B2->setCheckable(true);
    controls.B2->setChecked(false);

    controls.H0 = bar.addMenu(QString());
    controls.H1 = controls.H0->addAction(QString());
    controls.N3 = controls.H0->addSeparator();
    controls.H2 = controls.H0->addAction(QString());
    controls.N4 = controls.H0->addSeparator();
    controls.H3 = controls.H0->addAction(QString());
}

}  // namespace

LanguageMarks MarksOf(const WindowControls& controls) {
    return LanguageMarks{controls.B1->isChecked(), controls.B2->isChecked()};
}

Language TextLanguageOf(const WindowControls& controls) {
    return MarksOf(controls).Current().value_or(Language::Japanese);
}

QFont GothicFont(int pixelSize) {
    QFont font;
    font.setFamilies(
        {Q("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(pixelSize);
    return font;
}

void BuildWindowLayout(QMainWindow& window, WindowControls& controls, QAbstractItemModel& jobs) {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint);
    window.setFont(GothicFont(12));
    controls.ClientArea = new QWidget(&window);
    BuildBackground(controls);
    BuildLabels(controls);
    BuildGrid(controls, jobs);
    BuildSelectors(controls);
    BuildStrip(controls);
    QWidget::setTabOrder(controls.StringGrid2, controls.MultiComboBox1);
    QWidget::setTabOrder(controls.MultiComboBox1, controls.MultiComboBox2);
    QWidget::setTabOrder(controls.MultiComboBox2, controls.BrowserEdit1);
    QWidget::setTabOrder(controls.BrowserEdit1, controls.Button1);
    BuildMenus(*window.menuBar(), controls);

    controls.Timer0 = new QTimer(&window);
    controls.Timer0->setInterval(1000);

    window.setCentralWidget(controls.ClientArea);
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    window.move(kInitialLeft, kInitialTop);
}

void ApplyCaptions(QMainWindow& window, const WindowControls& controls,
                   const WindowCaptions& captions) {
    window.setWindowTitle(Q(captions.windowCaption));
    controls.S0->setTitle(Q(captions.menuS0));
    controls.S1->setText(Q(captions.menuS1));
    controls.H0->setTitle(Q(captions.menuH0));
    controls.H1->setText(Q(captions.menuH1));
    controls.H2->setText(Q(captions.menuH2));
    controls.S2->setText(Q(captions.menuS2));
    controls.H3->setText(Q(captions.menuH3));
    // The three headings size themselves to their text; the drop hint keeps its size and
    // wraps.
    for (const auto& [label, text] :
         {std::pair{controls.Label1, captions.label1}, std::pair{controls.Label2, captions.label2},
          std::pair{controls.Label3, captions.label3}}) {
        label->setText(Q(text));
        label->resize(label->sizeHint().width(), label->height());
    }
    controls.Label4->setText(Q(captions.label4));
    controls.Button1->setText(Q(captions.button1));
    // What screen readers call the controls whose label stands apart or that show a picture.
    controls.MultiComboBox1->setAccessibleName(Q(captions.label1));
    controls.MultiComboBox2->setAccessibleName(Q(captions.label2));
    controls.BrowserEdit1->setAccessibleName(Q(captions.label3));
    QToolButton& folderButton = controls.BrowserEdit1->BrowseButton();
    folderButton.setAccessibleName(Q(captions.folderButton));
    folderButton.setToolTip(Q(captions.folderButton));
    controls.StringGrid2->setAccessibleName(Q(captions.queueName));
    controls.StringGrid2->FixedColumn().setAccessibleName(Q(captions.queueName));
}

}  // namespace palomix
