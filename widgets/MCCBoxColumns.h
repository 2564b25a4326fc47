// The columns of the multi-column combo box: TCBColumn describes how one field of every
// item is drawn in the open list; TCBColumns holds them in display order and knows the
// control that owns them.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "controllogic/SystemColors.h"

class QPainter;

namespace palomix {

class TMultiColComboBox;
class TCBColumns;

enum TAlignment : std::uint8_t {
    taLeftJustify,
    taRightJustify,
    taCenter,
};

class TCBColumn {
public:
    // A new column has the defaults: 60 pixels, left-aligned, the control's colour and a
    // copy of its font, ParentColor and ParentFont on.
    explicit TCBColumn(TCBColumns& collection);
    TCBColumn(const TCBColumn&) = delete;
    TCBColumn& operator=(const TCBColumn&) = delete;

    int Width() const { return width_; }
    void SetWidth(int value);

    // Background of the column's cells. Setting a new value clears ParentColor.
    TColor Color() const { return color_; }
    void SetColor(TColor value);

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);

    // Font of the column's text, and its colour. Setting either clears ParentFont.
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& value);
    TColor FontColor() const { return fontColor_; }
    void SetFontColor(TColor value);

    // While on, Color follows the control's colour; turning it on copies it at once.
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);

    // While on, Font follows the control's font; turning it on copies it at once.
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);

    // Draws one cell of the open list: the cell filled with the column's colour (the
    // highlight colour for a selected item), the text in the column's font and colour (the
    // highlighted text colour for a selected item), single line, vertically centred,
    // aligned as the column says, kept Indent pixels away from the cell's edge on the
    // aligned side (the right side for a right-aligned column, the left side otherwise)
    // and clipped to the cell.
    void DrawColumn(QPainter& painter, const QRect& cell, const QString& text, bool selected) const;

private:
    friend class TCBColumns;
    void TakeOwnerColor();
    void TakeOwnerFont();
    void Changed() const;

    TCBColumns& collection_;
    int width_ = 60;
    TColor color_ = clWindow;
    TAlignment alignment_ = taLeftJustify;
    QFont font_;
    TColor fontColor_ = clWindowText;
    bool parentColor_ = true;
    bool parentFont_ = true;
};

class TCBColumns {
public:
    explicit TCBColumns(TMultiColComboBox& owner) : owner_(owner) {}
    TCBColumns(const TCBColumns&) = delete;
    TCBColumns& operator=(const TCBColumns&) = delete;

    TMultiColComboBox& Owner() const { return owner_; }

    int Count() const { return static_cast<int>(columns_.size()); }
    // Throws std::out_of_range for an index outside the collection.
    TCBColumn& Items(int index);
    const TCBColumn& Items(int index) const;
    TCBColumn& operator[](int index) { return Items(index); }
    const TCBColumn& operator[](int index) const { return Items(index); }

    // Appends a column with the defaults and returns it.
    TCBColumn& Add();
    // Throws std::out_of_range for an index outside the collection.
    void Delete(int index);
    void Clear();

    // The sum of the widths: the width of the open list.
    int TotalWidth() const;

    // The control's colour or font changed: the columns that follow it take it.
    void OwnerColorChanged();
    void OwnerFontChanged();

private:
    friend class TCBColumn;
    void Changed() const;

    TMultiColComboBox& owner_;
    std::vector<std::unique_ptr<TCBColumn>> columns_;
};

}  // namespace palomix
