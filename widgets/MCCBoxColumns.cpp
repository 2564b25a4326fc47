#include "widgets/MCCBoxColumns.h"

#include <QPainter>
#include <numeric>
#include <stdexcept>
#include <string>

#include "widgets/MCCBox.h"

namespace palomix {
namespace {

Qt::Alignment AlignmentFlag(TAlignment alignment) {
    switch (alignment) {
        case taRightJustify:
            return Qt::AlignRight;
        case taCenter:
            return Qt::AlignHCenter;
        case taLeftJustify:
            break;
    }
    return Qt::AlignLeft;
}

void CheckIndex(int index, int count) {
    if (index < 0 || index >= count) {
        throw std::out_of_range("Column index out of range (" + std::to_string(index) + ")");
    }
}

}  // namespace

// --- TCBColumn -----------------------------------------------------------------------------

TCBColumn::TCBColumn(TCBColumns& collection) : collection_(collection) {
    TakeOwnerColor();
    TakeOwnerFont();
}

void TCBColumn::SetWidth(int value) {
    if (width_ != value) {
        width_ = value;
        Changed();
    }
}

void TCBColumn::SetColor(TColor value) {
    if (color_ != value) {
        color_ = value;
        parentColor_ = false;
        Changed();
    }
}

void TCBColumn::SetAlignment(TAlignment value) {
    if (alignment_ != value) {
        alignment_ = value;
        Changed();
    }
}

void TCBColumn::SetFont(const QFont& value) {
    font_ = value;
    parentFont_ = false;
    Changed();
}

void TCBColumn::SetFontColor(TColor value) {
    fontColor_ = value;
    parentFont_ = false;
    Changed();
}

void TCBColumn::SetParentColor(bool value) {
    parentColor_ = value;
    if (value) {
        TakeOwnerColor();
    }
    Changed();
}

void TCBColumn::SetParentFont(bool value) {
    parentFont_ = value;
    if (value) {
        TakeOwnerFont();
    }
    Changed();
}

void TCBColumn::TakeOwnerColor() {
    color_ = collection_.Owner().Color();
}

void TCBColumn::TakeOwnerFont() {
    const TMultiColComboBox& owner = collection_.Owner();
    font_ = owner.font();
    fontColor_ = owner.FontColor();
}

void TCBColumn::Changed() const {
    collection_.Changed();
}

void TCBColumn::DrawColumn(QPainter& painter, const QRect& cell, const QString& text,
                           bool selected) const {
    if (cell.isEmpty()) {
        return;
    }
    const TMultiColComboBox& owner = collection_.Owner();
    const QPalette& palette = owner.palette();
    const QColor background = selected ? palette.color(QPalette::Highlight) : owner.Resolve(color_);
    const QColor textColor =
        selected ? palette.color(QPalette::HighlightedText) : owner.Resolve(fontColor_);

    painter.save();
    painter.fillRect(cell, background);
    QRect textArea = cell;
    if (alignment_ == taRightJustify) {
        textArea.setRight(cell.right() - owner.Indent());
    } else {
        textArea.setLeft(cell.left() + owner.Indent());
    }
    painter.setClipRect(textArea.intersected(cell), Qt::IntersectClip);
    painter.setFont(font_);
    painter.setPen(textColor);
    // Field texts are data, not captions: '&' is drawn as it is.
    painter.drawText(textArea, Qt::TextSingleLine | Qt::AlignVCenter | AlignmentFlag(alignment_),
                     text);
    painter.restore();
}

// --- TCBColumns ----------------------------------------------------------------------------

TCBColumn& TCBColumns::Items(int index) {
    CheckIndex(index, Count());
    return *columns_[static_cast<std::size_t>(index)];
}

const TCBColumn& TCBColumns::Items(int index) const {
    CheckIndex(index, Count());
    return *columns_[static_cast<std::size_t>(index)];
}

TCBColumn& TCBColumns::Add() {
    columns_.push_back(std::make_unique<TCBColumn>(*this));
    Changed();
    return *columns_.back();
}

void TCBColumns::Delete(int index) {
    CheckIndex(index, Count());
    columns_.erase(columns_.begin() + index);
    Changed();
}

void TCBColumns::Clear() {
    columns_.clear();
    Changed();
}

int TCBColumns::TotalWidth() const {
    return std::accumulate(columns_.begin(), columns_.end(), 0,
                           [](int sum, const auto& column) { return sum + column->Width(); });
}

void TCBColumns::OwnerColorChanged() {
    for (const auto& column : columns_) {
        if (column->ParentColor()) {
            column->TakeOwnerColor();
        }
    }
    Changed();
}

void TCBColumns::OwnerFontChanged() {
    for (const auto& column : columns_) {
        if (column->ParentFont()) {
            column->TakeOwnerFont();
        }
    }
    Changed();
}

void TCBColumns::Changed() const {
    owner_.ColumnsChanged();
}

}  // namespace palomix
