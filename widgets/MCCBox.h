// TMultiColComboBox: a drop-down list whose items are lines of several fields. The open
// list shows every field of an item in its own column (TCBColumn: width, colour, font,
// alignment); the closed control shows one field of the selected item, the target column.
//
// The control keeps every item's full line beside the text of the combo box's own list,
// which holds field TargetColumn of the line. Both live in the same model row, so the two
// lists always agree in length and order, also for items added through QComboBox's own
// functions (their text is taken as the full line). The list is never sorted.
#pragma once

#include <QComboBox>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "widgets/MCCBoxColumns.h"
#include "controllogic/SystemColors.h"

namespace palomix {

class TMultiColComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TMultiColComboBox(QWidget* parent = nullptr);
    ~TMultiColComboBox() override;

    // true (the default): the closed control has an edit field; false: a pure drop-down
    // list.
    bool CanEdit() const { return isEditable(); }
    void SetCanEdit(bool value);

    // The columns, in display order; a new control has one column with the defaults.
    TCBColumns& Columns() { return columns_; }
    const TCBColumns& Columns() const { return columns_; }

    // The field shown in the closed control and kept in the combo box's list (default 0).
    // Changing it refreshes the texts of the items already in the list.
    std::uint8_t TargetColumn() const { return targetColumn_; }
    void SetTargetColumn(std::uint8_t value);

    // Gap in pixels between a column's edge and its text (default 2).
    int Indent() const { return indent_; }
    void SetIndent(int value);

    // Height of a row of the open list (default 15).
    int ItemHeight() const { return itemHeight_; }
    void SetItemHeight(int value);

    // Rows of the open list before it scrolls.
    int DropDownCount() const { return maxVisibleItems(); }
    void SetDropDownCount(int value) { setMaxVisibleItems(value); }

    // The control's background colour (default the system window colour) and text colour
    // (default the system window text colour). Columns with ParentColor / ParentFont
    // follow them; a change of the widget's font reaches those with ParentFont too.
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor value);

    // --- Items: full lines, in list order -------------------------------------------------
    int ItemCount() const { return count(); }
    // The full line of item `index`; throws std::out_of_range outside 0 .. ItemCount()-1.
    std::string Item(int index) const;
    std::vector<std::string> Items() const;
    // Appends a line; the combo box's list gets its field TargetColumn (empty when the line
    // has fewer fields). Adding never changes the selection.
    void AddItem(const std::string& line);
    // Inserts a line before position `index`, 0 .. ItemCount() (ItemCount() appends).
    // Throws std::out_of_range for any other position and then changes nothing.
    void InsertItem(int index, const std::string& line);
    // Throws std::out_of_range outside 0 .. ItemCount()-1 and then changes nothing.
    void DeleteItem(int index);
    void ClearItems();

    // The selected item, -1 for none. Selecting a position outside the list selects none.
    // Selecting from the program raises no OnChange.
    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int index);

    // The control's text: the edit field's text, or the selected item's list text.
    std::string Text() const;

    // The text of the closed control: with CanEdit on and the edit field changed by the
    // user, the control's Text; otherwise GetColumnText.
    std::string GetSelectedText() const;
    // Field TargetColumn of the selected item's line; empty when nothing is selected or
    // the line has fewer fields.
    std::string GetColumnText() const;

    // The width of the open list: the sum of the column widths.
    int DroppedWidth() const { return columns_.TotalWidth(); }

    // Draws row `index` of the open list into `rect`: each field in its column (cells
    // clipped at the rectangle's right edge), the rest of the row after the last column
    // in the control's colour, or in the highlight colour for a selected row.
    void DrawItem(QPainter& painter, int index, const QRect& rect, bool selected) const;

    // The user picked an item or edited the text.
    std::function<void(TMultiColComboBox&)> OnChange;
    // The list is about to open.
    std::function<void(TMultiColComboBox&)> OnDropDown;

    // Opens the list as wide as all columns together (never narrower than the control).
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TCBColumn;
    friend class TCBColumns;

    void ConnectEditField();
    void InsertLine(int index, const std::string& line);
    void AdoptForeignRows(int first, int last);
    std::string LineAt(int index) const;
    QString ListTextOf(const std::string& line) const;
    void ApplyColors();
    void ColumnsChanged();
    QColor Resolve(TColor color) const;

    TCBColumns columns_;
    std::uint8_t targetColumn_ = 0;
    int indent_ = 2;
    int itemHeight_ = 15;
    TColor color_ = clWindow;
    TColor fontColor_ = clWindowText;
};

}  // namespace palomix
