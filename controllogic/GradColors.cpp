#include "controllogic/GradColors.h"

#include <cassert>
#include <cstddef>

namespace palomix {
namespace {

// A channel value truncated toward zero, low 8 bits kept.
std::uint8_t TruncChannel(long double value) {
    return static_cast<std::uint8_t>(static_cast<long long>(value) & 0xFF);
}

}  // namespace

GradColorTable BuildGradColorTable(TColor topColor, TColor lastColor, TGradStyle style,
                                   const SystemColorPalette& palette) {
    assert(style != gsNone);
    const bool reversed = style == gsBottomTop || style == gsRightLeft;
    const TColor start = reversed ? lastColor : topColor;
    const TColor end = reversed ? topColor : lastColor;

    const RgbBytes from = GetRGB(start, palette);
    const RgbBytes to = GetRGB(end, palette);
    // Extended precision on purpose: the steps are subtracted 254 times, and the table
    // must come out the same on every paint and every machine with the same long double.
    const long double stepRed = (static_cast<long double>(from.red) - to.red) / 255.0L;
    const long double stepGreen = (static_cast<long double>(from.green) - to.green) / 255.0L;
    const long double stepBlue = (static_cast<long double>(from.blue) - to.blue) / 255.0L;

    GradColorTable table{};
    table[0] = start;
    long double red = from.red;
    long double green = from.green;
    long double blue = from.blue;
    for (std::size_t i = 1; i < kGradColorCount - 1; ++i) {
        red -= stepRed;
        green -= stepGreen;
        blue -= stepBlue;
        table[i] = RGBColor(TruncChannel(red), TruncChannel(green), TruncChannel(blue));
    }
    table[kGradColorCount - 1] = end;
    return table;
}

}  // namespace palomix
