#include "controllogic/GradColors.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace palomix {
namespace {

class FixedPalette final : public SystemColorPalette {
public:
    TColor RgbOf(int index) const override {
        return index == kColorBtnFace ? RGBColor(200, 100, 50) : RGBColor(1, 2, 3);
    }
};

TEST(GradColorTable, WhiteToLightGreyTruncatesEachSuccessiveStep) {
    const GradColorTable table = BuildGradColorTable(
        RGBColor(255, 255, 255), RGBColor(226, 226, 226), gsTopBottom, FixedPalette());
    EXPECT_EQ(table[0], RGBColor(255, 255, 255));
    EXPECT_EQ(table[1], RGBColor(254, 254, 254));    // 254.886...
    EXPECT_EQ(table[9], RGBColor(253, 253, 253));    // 253.976...
    EXPECT_EQ(table[128], RGBColor(240, 240, 240));  // 240.443...
    EXPECT_EQ(table[254], RGBColor(226, 226, 226));  // 226.113...
    EXPECT_EQ(table[255], RGBColor(226, 226, 226));
}

TEST(GradColorTable, ChannelsMoveIndependentlyInBothDirections) {
    const GradColorTable table = BuildGradColorTable(RGBColor(0, 255, 100), RGBColor(255, 0, 100),
                                                     gsLeftRight, FixedPalette());
    for (std::size_t i = 1; i < 255; ++i) {
        const TColor entry = table[i];
        const unsigned red = entry & 0xFF;
        const unsigned green = (entry >> 8) & 0xFF;
        const unsigned blue = (entry >> 16) & 0xFF;
        // Rising from 0 by 1 per entry, falling from 255 by 1 per entry; truncation keeps
        // each below the exact value i (or 255 - i) by less than one.
        EXPECT_LE(red, i);
        EXPECT_GE(red + 1, i);
        EXPECT_LE(green, 255 - i);
        EXPECT_GE(green + 1, 255 - i);
        EXPECT_EQ(blue, 100u);
    }
}

TEST(GradColorTable, EqualColoursGiveOneFlatColour) {
    const TColor grey = RGBColor(77, 77, 77);
    for (const TColor entry : BuildGradColorTable(grey, grey, gsTopBottom, FixedPalette())) {
        EXPECT_EQ(entry, grey);
    }
}

TEST(GradColorTable, BottomTopAndRightLeftStartFromTheLastColour) {
    const TColor top = RGBColor(10, 20, 30);
    const TColor last = RGBColor(200, 210, 220);
    for (const TGradStyle style : {gsBottomTop, gsRightLeft}) {
        const GradColorTable table = BuildGradColorTable(top, last, style, FixedPalette());
        EXPECT_EQ(table[0], last);
        EXPECT_EQ(table[255], top);
        EXPECT_EQ(table[1] & 0xFF, 199u);  // 200 - 190/255 = 199.25
    }
}

TEST(GradColorTable, SystemColoursStayInTheEndEntriesAndStepFromTheirValue) {
    const TColor face = SystemColor(kColorBtnFace);  // (200, 100, 50) in this palette
    const GradColorTable table =
        BuildGradColorTable(face, RGBColor(200, 100, 50), gsTopBottom, FixedPalette());
    EXPECT_EQ(table[0], face);
    EXPECT_EQ(table[1], RGBColor(200, 100, 50));
    EXPECT_EQ(table[254], RGBColor(200, 100, 50));
    EXPECT_EQ(table[255], RGBColor(200, 100, 50));
}

TEST(GradColorTable, TheTopByteOfAPlainColourIsIgnored) {
    const GradColorTable table =
        BuildGradColorTable(0x7F0000FFu, RGBColor(255, 0, 0), gsTopBottom, FixedPalette());
    EXPECT_EQ(table[0], 0x7F0000FFu);  // entry 0 is the value as given
    EXPECT_EQ(table[1], RGBColor(255, 0, 0));
}

TEST(SystemColors, ResolveAndSplit) {
    const FixedPalette palette;
    EXPECT_EQ(ResolveColor(SystemColor(kColorBtnFace), palette), RGBColor(200, 100, 50));
    EXPECT_EQ(ResolveColor(SystemColor(99), palette), 0u);  // no such system colour: black
    EXPECT_EQ(ResolveColor(0x12345678u, palette), 0x00345678u);
    EXPECT_EQ(GetRGB(RGBColor(1, 2, 3), palette), (RgbBytes{1, 2, 3}));
    EXPECT_EQ(GetRGB(clWindow, ClassicSystemColors()), (RgbBytes{255, 255, 255}));
}

}  // namespace
}  // namespace palomix
