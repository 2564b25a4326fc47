// Colour values of the controls: 32-bit, red in bits 0-7, green in bits 8-15, blue in
// bits 16-23. A value with the top bit set names a system colour by its index (0 to 24);
// its current RGB value comes from the platform's palette, reached through
// SystemColorPalette so that the colour arithmetic stays free of any toolkit.
#pragma once

#include <cstdint>

namespace palomix {

using TColor = std::uint32_t;

constexpr TColor kSystemColorFlag = 0x80000000u;

// Indexes of the system colours.
enum SystemColorIndex : int {
    kColorScrollBar = 0,
    kColorBackground = 1,
    kColorActiveCaption = 2,
    kColorInactiveCaption = 3,
    kColorMenu = 4,
    kColorWindow = 5,
    kColorWindowFrame = 6,
    kColorMenuText = 7,
    kColorWindowText = 8,
    kColorCaptionText = 9,
    kColorActiveBorder = 10,
    kColorInactiveBorder = 11,
    kColorAppWorkspace = 12,
    kColorHighlight = 13,
    kColorHighlightText = 14,
    kColorBtnFace = 15,
    kColorBtnShadow = 16,
    kColorGrayText = 17,
    kColorBtnText = 18,
    kColorInactiveCaptionText = 19,
    kColorBtnHighlight = 20,
    kColor3DDkShadow = 21,
    kColor3DLight = 22,
    kColorInfoText = 23,
    kColorInfoBk = 24,
};
constexpr int kSystemColorCount = 25;

constexpr TColor RGBColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return TColor{red} | (TColor{green} << 8) | (TColor{blue} << 16);
}
constexpr TColor SystemColor(int index) {
    return kSystemColorFlag | static_cast<TColor>(index);
}
constexpr bool IsSystemColor(TColor color) {
    return (color & kSystemColorFlag) != 0;
}

// The system colours that the controls use by name.
constexpr TColor clWindow = SystemColor(kColorWindow);
constexpr TColor clWindowText = SystemColor(kColorWindowText);
constexpr TColor clHighlight = SystemColor(kColorHighlight);
constexpr TColor clHighlightText = SystemColor(kColorHighlightText);
constexpr TColor clBtnFace = SystemColor(kColorBtnFace);

struct RgbBytes {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const RgbBytes&, const RgbBytes&) = default;
};

// The platform's current values of the system colours.
class SystemColorPalette {
public:
    virtual ~SystemColorPalette() = default;
    // The plain RGB value (top byte 0) of system colour `index`, 0 to 24.
    virtual TColor RgbOf(int index) const = 0;
};

// A fixed palette with the classic desktop colours (white windows, grey buttons, navy
// highlight), for code that runs without a toolkit.
class ClassicSystemColors final : public SystemColorPalette {
public:
    TColor RgbOf(int index) const override;
};

// The plain RGB value of a colour: a system colour is replaced by its current value (an
// index outside 0 to 24 gives black); any other value loses its top byte.
TColor ResolveColor(TColor color, const SystemColorPalette& palette);

// The red, green and blue bytes of a colour, system colours resolved first.
RgbBytes GetRGB(TColor color, const SystemColorPalette& palette);

}  // namespace palomix
