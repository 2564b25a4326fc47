#include "widgets/MCCBox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionViewItem>

#include <stdexcept>

#include <string>
#include "tests/widgets/SettingsListSetUp.h"

#include "widgets/GradBoxPalette.h"

namespace palomix {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kPhoneLine = R"("Phone video","320x240","phone.ini")";

void SetUpThreeColumns(TMultiColComboBox& box) {
    testing::SetUpSettingsFileColumns(box);
}

// Pixel colour as a plain RGB value.
TColor PixelAt(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

// Renders row `row` of the open list through the list's item delegate.
QImage RenderRow(TMultiColComboBox& box, int row, QSize size, bool selected = false) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(box.view());
    option.rect = QRect(QPoint(0, 0), size);
    option.state = QStyle::State_Enabled;
    if (selected) {
        option.state |= QStyle::State_Selected;
    }
    box.view()->itemDelegate()->paint(&painter, option, box.model()->index(row, 0));
    return image;
}

TEST(MultiColComboBox, NewControlHasItsDefaults) {
    TMultiColComboBox box;
    EXPECT_TRUE(box.CanEdit());
    EXPECT_EQ(box.TargetColumn(), 0);
    EXPECT_EQ(box.Indent(), 2);
    EXPECT_EQ(box.ItemHeight(), 15);
    ASSERT_EQ(box.Columns().Count(), 1);
    const TCBColumn& column = box.Columns()[0];
    EXPECT_EQ(column.Width(), 60);
    EXPECT_EQ(column.Alignment(), taLeftJustify);
    EXPECT_TRUE(column.ParentColor());
    EXPECT_TRUE(column.ParentFont());
    EXPECT_EQ(column.Color(), box.Color());
    EXPECT_EQ(column.Font(), box.font());
}

TEST(MultiColComboBox, KeepsTheFullLineAndListsTheTargetField) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.AddItem(kPhoneLine);
    EXPECT_EQ(box.Item(0), kPhoneLine);
    EXPECT_EQ(box.itemText(0).toStdString(), "Phone video");  // the combo box's own list
    EXPECT_EQ(box.ItemIndex(), -1) << "adding must not select";
    box.SetItemIndex(0);
    EXPECT_EQ(box.GetColumnText(), "Phone video");
    EXPECT_EQ(box.GetSelectedText(), "Phone video");

    box.SetTargetColumn(2);
    EXPECT_EQ(box.GetSelectedText(), "phone.ini");
    EXPECT_EQ(box.itemText(0).toStdString(), "phone.ini");
    box.SetTargetColumn(3);  // beyond the line's fields
    EXPECT_EQ(box.GetSelectedText(), "");
    EXPECT_EQ(box.Item(0), kPhoneLine);
}

TEST(MultiColComboBox, EditedTextWinsOnlyWhileEditableAndChangedByTheUser) {
    TMultiColComboBox box;
    box.AddItem(kPhoneLine);
    box.SetItemIndex(0);
    ASSERT_NE(box.lineEdit(), nullptr);
    EXPECT_EQ(box.GetSelectedText(), "Phone video");
    box.lineEdit()->setText("typed");
    box.lineEdit()->setModified(true);
    EXPECT_EQ(box.GetSelectedText(), "typed");
    EXPECT_EQ(box.GetColumnText(), "Phone video");
}

TEST(MultiColComboBox, NothingSelectedOrClearedGivesEmptyTexts) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    EXPECT_EQ(box.GetSelectedText(), "");
    box.AddItem(kPhoneLine);
    box.AddItem(R"("Music","mp3")");
    box.SetItemIndex(1);
    box.ClearItems();
    EXPECT_EQ(box.ItemCount(), 0);
    EXPECT_THAT(box.Items(), IsEmpty());
    box.SetItemIndex(0);
    EXPECT_EQ(box.ItemIndex(), -1);
    EXPECT_EQ(box.GetSelectedText(), "");
    EXPECT_EQ(box.GetColumnText(), "");
}

TEST(MultiColComboBox, InsertAndDeleteKeepBothListsInStepAndRejectBadPositions) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.AddItem(R"("b","2")");
    box.InsertItem(0, R"("a","1")");
    box.InsertItem(2, R"("c","3")");  // at the end
    box.InsertItem(1, "ab,1.5");
    EXPECT_THAT(box.Items(), ElementsAre(R"("a","1")", "ab,1.5", R"("b","2")", R"("c","3")"));
    ASSERT_EQ(box.count(), 4);
    EXPECT_EQ(box.itemText(1).toStdString(), "ab");
    EXPECT_EQ(box.itemText(3).toStdString(), "c");

    EXPECT_THROW(box.InsertItem(-1, "x"), std::out_of_range);
    EXPECT_THROW(box.InsertItem(5, "x"), std::out_of_range);
    EXPECT_THROW(box.DeleteItem(4), std::out_of_range);
    EXPECT_THROW(box.DeleteItem(-1), std::out_of_range);
    EXPECT_THROW(box.Item(4), std::out_of_range);
    EXPECT_EQ(box.ItemCount(), 4);

    box.DeleteItem(1);
    box.DeleteItem(2);
    EXPECT_THAT(box.Items(), ElementsAre(R"("a","1")", R"("b","2")"));
    EXPECT_EQ(box.count(), 2);
    EXPECT_EQ(box.itemText(1).toStdString(), "b");
}

TEST(MultiColComboBox, ItemsAddedThroughQComboBoxAreTakenAsFullLines) {
    TMultiColComboBox box;
    box.addItem(QString::fromStdString(kPhoneLine));
    box.insertItem(0, R"("Top","x")");
    EXPECT_THAT(box.Items(), ElementsAre(R"("Top","x")", kPhoneLine));
    EXPECT_EQ(box.itemText(1).toStdString(), "Phone video");
}

TEST(MultiColComboBox, ColumnsFollowTheControlWhileTheirParentSwitchesAreOn) {
    TMultiColComboBox box;
    box.Columns().Add();
    TCBColumn& own = box.Columns()[1];
    own.SetColor(RGBColor(1, 2, 3));
    EXPECT_FALSE(own.ParentColor());
    QFont big = box.font();
    big.setPixelSize(30);
    own.SetFont(big);
    EXPECT_FALSE(own.ParentFont());

    box.SetColor(RGBColor(9, 9, 9));
    QFont other = box.font();
    other.setPixelSize(7);
    box.setFont(other);
    EXPECT_EQ(box.Columns()[0].Color(), RGBColor(9, 9, 9));
    EXPECT_EQ(box.Columns()[0].Font().pixelSize(), 7);
    EXPECT_EQ(own.Color(), RGBColor(1, 2, 3));
    EXPECT_EQ(own.Font().pixelSize(), 30);

    own.SetParentColor(true);
    own.SetParentFont(true);
    EXPECT_EQ(own.Color(), RGBColor(9, 9, 9));
    EXPECT_EQ(own.Font().pixelSize(), 7);
}

TEST(MultiColComboBox, OpenListIsAsWideAsAllColumns) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.resize(380, 20);
    box.AddItem(kPhoneLine);
    box.show();
    int dropDowns = 0;
    box.OnDropDown = [&dropDowns](TMultiColComboBox&) { ++dropDowns; };
    box.showPopup();
    QApplication::processEvents();
    EXPECT_EQ(dropDowns, 1);
    EXPECT_EQ(box.DroppedWidth(), 1056);
    EXPECT_EQ(box.view()->window()->width(), 1056);
    box.hidePopup();
}

TEST(MultiColComboBox, OpenListDropsBelowWithDropDownCountRows) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.Columns()[0].SetWidth(100);  // narrow enough for the offscreen screen
    box.Columns()[1].SetWidth(100);
    box.resize(380, 20);
    for (int i = 0; i < 40; ++i) {
        box.AddItem("\"row " + std::to_string(i) + "\"");
    }
    box.SetItemIndex(30);
    box.move(10, 10);
    box.show();
    box.showPopup();
    QApplication::processEvents();
    const QRect popup = box.view()->window()->geometry();
    EXPECT_GE(popup.top(), box.mapToGlobal(QPoint(0, box.height() - 1)).y());
    EXPECT_EQ(box.view()->viewport()->height(), 28 * 14);
    box.hidePopup();
}

TEST(MultiColComboBox, RowsAreItemHeightHigh) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.AddItem(kPhoneLine);
    const QStyleOptionViewItem option;
    EXPECT_EQ(box.view()->itemDelegate()->sizeHint(option, box.model()->index(0, 0)).height(), 14);
}

TEST(MultiColComboBox, RightAlignedTextEndsIndentPixelsLeftOfTheCellEdge) {
    TMultiColComboBox box;
    box.SetIndent(1);
    box.SetColor(RGBColor(0, 0, 255));
    TCBColumn& column = box.Columns()[0];
    column.SetWidth(40);
    column.SetAlignment(taRightJustify);
    column.SetColor(RGBColor(255, 255, 255));
    column.SetFontColor(RGBColor(0, 0, 0));
    QFont font("DejaVu Sans");
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    column.SetFont(font);
    box.AddItem("\"\u2588\u2588\"");  // full blocks: ink up to the end of the advance

    const QImage image = RenderRow(box, 0, QSize(50, 16));
    int rightmostInk = -1;
    for (int x = 0; x < 40; ++x) {
        if (PixelAt(image, x, 8) == RGBColor(0, 0, 0)) {
            rightmostInk = x;
        }
    }
    EXPECT_EQ(rightmostInk, 38) << "text must end 1 pixel left of the cell's last pixel";
    EXPECT_EQ(PixelAt(image, 39, 8), RGBColor(255, 255, 255));
    // The rest of the row after the last column takes the control's colour.
    EXPECT_EQ(PixelAt(image, 40, 8), RGBColor(0, 0, 255));
    EXPECT_EQ(PixelAt(image, 49, 15), RGBColor(0, 0, 255));
}

TEST(MultiColComboBox, CellsTakeTheirColoursAndAreClippedAtTheListEdge) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.AddItem(R"("","")");  // fewer fields than columns: cells stay empty but coloured

    const QImage image = RenderRow(box, 0, QSize(600, 14));
    EXPECT_EQ(PixelAt(image, 0, 7), RGBColor(255, 255, 255));
    EXPECT_EQ(PixelAt(image, 355, 7), RGBColor(255, 255, 255));
    EXPECT_EQ(PixelAt(image, 356, 7), RGBColor(240, 240, 240));
    EXPECT_EQ(PixelAt(image, 599, 13), RGBColor(240, 240, 240));

    // A list narrower than the columns: nothing is drawn beyond its right edge.
    QImage wide(700, 14, QImage::Format_RGB32);
    wide.fill(QColor(255, 0, 255));
    {
        QPainter painter(&wide);
        box.DrawItem(painter, 0, QRect(0, 0, 400, 14), false);
    }
    EXPECT_EQ(PixelAt(wide, 399, 7), RGBColor(240, 240, 240));
    EXPECT_EQ(PixelAt(wide, 400, 7), RGBColor(255, 0, 255));
    EXPECT_EQ(PixelAt(wide, 699, 7), RGBColor(255, 0, 255));
}

TEST(MultiColComboBox, SelectedRowsUseTheHighlightColours) {
    TMultiColComboBox box;
    SetUpThreeColumns(box);
    box.AddItem(R"("","","")");
    const QImage image = RenderRow(box, 0, QSize(1100, 14), true);
    const TColor highlight = FromQColor(box.palette().color(QPalette::Highlight));
    EXPECT_EQ(PixelAt(image, 10, 7), highlight);
    EXPECT_EQ(PixelAt(image, 900, 7), highlight);
    EXPECT_EQ(PixelAt(image, 1080, 7), highlight);  // rest of the row
}

}  // namespace
}  // namespace palomix
