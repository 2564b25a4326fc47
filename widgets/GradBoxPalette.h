// The system colours of the controls, taken from a Qt palette, and the conversion of the
// controls' 32-bit colour values to Qt colours. Shared by the gradient box and the
// multi-column combo box.
#pragma once

#include <QColor>
#include <QPalette>
#include <utility>

#include "controllogic/SystemColors.h"

namespace palomix {

// Maps each system colour index to the palette role that plays the same part (window
// background to Base, button face to Button, highlight to Highlight, grey text to the
// disabled text colour, and so on).
class QtSystemColors final : public SystemColorPalette {
public:
    explicit QtSystemColors(QPalette palette) : palette_(std::move(palette)) {}
    TColor RgbOf(int index) const override;

private:
    QPalette palette_;
};

QColor ToQColor(TColor color, const QPalette& palette);
TColor FromQColor(const QColor& color);

}  // namespace palomix
