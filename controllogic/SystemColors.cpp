#include "controllogic/SystemColors.h"

#include <array>

namespace palomix {
namespace {

constexpr std::array<TColor, kSystemColorCount> kClassicColors = {
    RGBColor(200, 200, 200),  // scroll bar
    RGBColor(0, 0, 0),        // desktop
    RGBColor(153, 180, 209),  // active caption
    RGBColor(191, 205, 219),  // inactive caption
    RGBColor(240, 240, 240),  // menu
    RGBColor(255, 255, 255),  // window
    RGBColor(100, 100, 100),  // window frame
    RGBColor(0, 0, 0),        // menu text
    RGBColor(0, 0, 0),        // window text
    RGBColor(0, 0, 0),        // caption text
    RGBColor(180, 180, 180),  // active border
    RGBColor(244, 247, 252),  // inactive border
    RGBColor(171, 171, 171),  // application workspace
    RGBColor(0, 120, 215),    // highlight
    RGBColor(255, 255, 255),  // highlighted text
    RGBColor(240, 240, 240),  // button face
    RGBColor(160, 160, 160),  // button shadow
    RGBColor(109, 109, 109),  // grey text
    RGBColor(0, 0, 0),        // button text
    RGBColor(0, 0, 0),        // inactive caption text
    RGBColor(255, 255, 255),  // button highlight
    RGBColor(105, 105, 105),  // 3D dark shadow
    RGBColor(227, 227, 227),  // 3D light
    RGBColor(0, 0, 0),        // tooltip text
    RGBColor(255, 255, 225),  // tooltip background
};

}  // namespace

TColor ClassicSystemColors::RgbOf(int index) const {
    if (index < 0 || index >= kSystemColorCount) {
        return 0;
    }
    return kClassicColors[static_cast<std::size_t>(index)];
}

TColor ResolveColor(TColor color, const SystemColorPalette& palette) {
    if (IsSystemColor(color)) {
        const TColor index = color & ~kSystemColorFlag;
        if (index >= static_cast<TColor>(kSystemColorCount)) {
            return 0;
        }
        return palette.RgbOf(static_cast<int>(index)) & 0x00FFFFFFu;
    }
    return color & 0x00FFFFFFu;
}

RgbBytes GetRGB(TColor color, const SystemColorPalette& palette) {
    const TColor rgb = ResolveColor(color, palette);
    return RgbBytes{static_cast<std::uint8_t>(rgb & 0xFF),
                    static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
                    static_cast<std::uint8_t>((rgb >> 16) & 0xFF)};
}

}  // namespace palomix
