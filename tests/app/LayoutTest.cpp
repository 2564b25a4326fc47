// The window's layout: size, places, fonts, colours and settings of its controls.
#include <gtest/gtest.h>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "tests/app/AppTestSupport.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/GradBox.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

using LayoutTest = WindowTest;

TEST_F(LayoutTest, WindowHasAFixedClientAreaBelowItsMenuAndNoMaximise) {
    TMainForm1& form = MakeForm();
    form.show();
    ProcessPending();
    EXPECT_EQ(form.pos(), QPoint(20, 20));
    EXPECT_EQ(form.ClientArea->size(), QSize(404, 465));
    EXPECT_EQ(form.ClientArea->y(),
              form.menuBar()->isNativeMenuBar() ? 0 : form.menuBar()->height());
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(form.acceptDrops());
}

TEST_F(LayoutTest, ControlsStandAtTheirPlaces) {
    TMainForm1& form = MakeForm();
    EXPECT_EQ(form.GradBox0->geometry(), QRect(0, 0, 404, 465));
    EXPECT_EQ(form.Label1->pos(), QPoint(8, 8));
    EXPECT_EQ(form.Label2->pos(), QPoint(8, 56));
    EXPECT_EQ(form.Label3->pos(), QPoint(8, 104));
    EXPECT_EQ(form.Label4->geometry(), QRect(12, 164, 380, 16));
    EXPECT_EQ(form.StringGrid2->geometry(), QRect(12, 188, 380, 240));
    EXPECT_EQ(form.MultiComboBox1->geometry(), QRect(12, 28, 380, 20));
    EXPECT_EQ(form.MultiComboBox2->geometry(), QRect(12, 76, 380, 20));
    EXPECT_EQ(form.BrowserEdit1->geometry(), QRect(12, 124, 380, 20));
    EXPECT_EQ(form.Button1->geometry(), QRect(286, 434, 100, 25));
    EXPECT_LE(form.RunStatus1->geometry().right(), 285);
    EXPECT_TRUE(form.ListBox1->isHidden());
    // Later controls lie above the background.
    EXPECT_EQ(form.ClientArea->children().indexOf(form.GradBox0), 0);
}

TEST_F(LayoutTest, HeadingsSizeThemselvesToTheirTextInEitherLanguage) {
    TMainForm1& form = MakeForm();
    for (const Language language : {Language::English, Language::Japanese}) {
        language == Language::English ? form.B2Click() : form.B1Click();
        for (QLabel* label : {form.Label1, form.Label2, form.Label3}) {
            SCOPED_TRACE(label->text().toStdString());
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
            EXPECT_EQ(label->height(), 16);
        }
        EXPECT_EQ(form.Label4->size(), QSize(380, 16));
    }
}

TEST_F(LayoutTest, ControlsHaveTheirSettings) {
    TMainForm1& form = MakeForm();
    EXPECT_FALSE(form.Button1->isEnabled());
    EXPECT_TRUE(form.Timer0->isActive());
    EXPECT_EQ(form.Timer0->interval(), 1000);
    EXPECT_EQ(form.GradBox0->TopColor(), RGBColor(255, 255, 255));
    EXPECT_EQ(form.GradBox0->LastColor(), RGBColor(226, 226, 226));
    EXPECT_FALSE(form.GradBox0->DrawOutLine());
    EXPECT_FALSE(form.Label1->autoFillBackground());
    EXPECT_EQ(form.Label1->font().pixelSize(), 16);
    EXPECT_EQ(form.Button1->font().pixelSize(), 16);
    EXPECT_EQ(form.StringGrid2->font().pixelSize(), 12);
    EXPECT_TRUE(form.Label4->wordWrap());
    EXPECT_TRUE(form.Label4->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(form.Label1->font().families().value(0).toStdString(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(form.Label1->font().families().value(1).toStdString(), "IPAPGothic");

    EXPECT_FALSE(form.MultiComboBox1->CanEdit());
    EXPECT_EQ(form.MultiComboBox1->Indent(), 1);
    EXPECT_EQ(form.MultiComboBox1->DropDownCount(), 28);
    EXPECT_EQ(form.MultiComboBox1->ItemHeight(), 14);
    ASSERT_EQ(form.MultiComboBox1->Columns().Count(), 3);
    EXPECT_EQ(form.MultiComboBox1->DroppedWidth(), 1056);
    EXPECT_EQ(form.MultiComboBox1->Columns()[1].Color(), RGBColor(240, 240, 240));
    EXPECT_EQ(form.MultiComboBox1->Columns()[2].FontColor(), RGBColor(255, 255, 255));
    EXPECT_EQ(form.MultiComboBox1->cursor().shape(), Qt::PointingHandCursor);
    ASSERT_EQ(form.MultiComboBox2->Columns().Count(), 1);
    EXPECT_EQ(form.MultiComboBox2->Columns()[0].Width(), 380);
    EXPECT_TRUE(form.MultiComboBox2->Columns()[0].ParentColor());

    EXPECT_TRUE(form.BrowserEdit1->ReadOnly());
    EXPECT_TRUE(form.BrowserEdit1->StartWithLast());
    EXPECT_EQ(form.BrowserEdit1->Path(), "");
}

TEST_F(LayoutTest, GridShowsThreeResizableColumnsOfWholeRowsThatCannotBeEdited) {
    TMainForm1& form = MakeForm();
    QTableView& grid = *form.StringGrid2;
    // The status column fits its converting text in the grid's font, and is never narrower
    // than its layout width.
    EXPECT_GE(grid.columnWidth(0), 115);
    EXPECT_GT(grid.columnWidth(0),
              grid.fontMetrics().horizontalAdvance(QStringLiteral("Converting...(00:01:23)")));
    EXPECT_EQ(grid.columnWidth(1), 262);
    EXPECT_EQ(grid.columnWidth(2), 262);
    EXPECT_EQ(grid.rowHeight(0), 16);
    EXPECT_EQ(grid.horizontalHeader()->height(), 16);
    EXPECT_TRUE(grid.horizontalHeader()->isVisibleTo(&grid));
    EXPECT_FALSE(grid.verticalHeader()->isVisibleTo(&grid));
    EXPECT_EQ(grid.horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid.model()->rowCount(), 1);
    EXPECT_FALSE(grid.viewport()->acceptDrops());
}

TEST_F(LayoutTest, FirstColumnStaysInPlaceWhenTheGridScrollsSideways) {
    TMainForm1& form = MakeForm();
    form.show();
    ProcessPending();
    TStringGrid& grid = *form.StringGrid2;
    QTableView& fixed = grid.FixedColumn();
    EXPECT_EQ(fixed.model(), grid.model());
    EXPECT_EQ(fixed.selectionModel(), grid.selectionModel());
    EXPECT_EQ(fixed.geometry(), QRect(grid.frameWidth(), grid.frameWidth(), grid.columnWidth(0),
                                      grid.viewport()->height() + 16));
    EXPECT_TRUE(fixed.isColumnHidden(1));
    EXPECT_FALSE(fixed.isColumnHidden(0));

    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    ProcessPending();
    EXPECT_GT(grid.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(fixed.x(), grid.frameWidth());
    EXPECT_EQ(fixed.horizontalHeader()->sectionViewportPosition(0), 0);

    // Resized on its own header, the fixed column takes the main view's column along.
    fixed.horizontalHeader()->resizeSection(0, 150);
    EXPECT_EQ(grid.columnWidth(0), 150);
    EXPECT_EQ(fixed.width(), 150);
}

}  // namespace
}  // namespace palomix::testing
