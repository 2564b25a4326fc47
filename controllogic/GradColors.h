// The colour table of the gradient box: 256 colours from a start colour to an end colour,
// rebuilt at every paint and filled into 256 bands.
#pragma once

#include <array>
#include <cstdint>

#include "controllogic/SystemColors.h"

namespace palomix {

// Direction of the gradient box's fill.
enum TGradStyle : std::uint8_t {
    gsTopBottom,  // TopColor at the top, LastColor at the bottom
    gsBottomTop,  // LastColor at the top, TopColor at the bottom
    gsLeftRight,  // TopColor at the left, LastColor at the right
    gsRightLeft,  // LastColor at the left, TopColor at the right
    gsNone,       // no fill: whatever lies below shows through
};

constexpr int kGradColorCount = 256;
using GradColorTable = std::array<TColor, kGradColorCount>;

// Whether the style paints bands of rows (true) or of columns (false); gsNone paints none.
constexpr bool IsVerticalGradStyle(TGradStyle style) {
    return style == gsTopBottom || style == gsBottomTop;
}

// Builds the table for TopColor, LastColor and the style (gsNone gives no table, so the
// caller must not ask for one):
// - the start colour is TopColor for gsTopBottom and gsLeftRight, LastColor for the other
//   two; the end colour is the other one;
// - entry 0 is the start colour and entry 255 the end colour, unchanged (a system colour
//   stays a system colour);
// - entries 1 to 254 step from the start colour's channels to the end colour's: per
//   channel step = (start - end) / 255 in extended precision, subtracted once per entry
//   from a running value (successive subtraction, not i * step), each channel truncated
//   toward zero. System colours take part with their current RGB value.
GradColorTable BuildGradColorTable(TColor topColor, TColor lastColor, TGradStyle style,
                                   const SystemColorPalette& palette);

}  // namespace palomix
