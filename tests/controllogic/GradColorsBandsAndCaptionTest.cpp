#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstddef>

#include "controllogic/GradBands.h"
#include "controllogic/GradCaptionPasses.h"

namespace palomix {
namespace {

using ::testing::ElementsAre;

TEST(GradBands, MainWindowHeightGivesTwoPixelBandsEndingAtTheBottom) {
    const GradBandList bands = GradBands(465);  // step 1.8235...
    EXPECT_EQ(bands[0], (GradBand{0, 2}));
    EXPECT_EQ(bands[1], (GradBand{0, 2}));  // covers fill 0
    EXPECT_EQ(bands[2], (GradBand{1, 3}));
    EXPECT_EQ(bands[3], (GradBand{3, 5}));
    EXPECT_EQ(bands[254], (GradBand{461, 463}));
    EXPECT_EQ(bands[255], (GradBand{463, 465}));
}

TEST(GradBands, EveryExtentIsCoveredWithoutGapsUpToItsFarEdge) {
    for (int extent = 1; extent <= 1500; ++extent) {
        const GradBandList bands = GradBands(extent);
        ASSERT_EQ(bands[0].start, 0) << extent;
        for (std::size_t i = 1; i < bands.size(); ++i) {
            // Each fill starts no later than the previous one ends, and never goes back.
            ASSERT_LE(bands[i].start, bands[i - 1].end) << extent << " fill " << i;
            ASSERT_GE(bands[i].start, bands[i - 1].start) << extent << " fill " << i;
        }
        ASSERT_GE(bands[255].end, extent) << extent;
        ASSERT_LE(bands[255].end, extent + 1) << extent;
    }
}

TEST(GradBands, BoxesNarrowerThan255PixelsGetOnePixelBands) {
    const GradBandList bands = GradBands(100);  // step 0.39: band 1
    EXPECT_EQ(bands[3], (GradBand{0, 1}));      // Trunc(2 * 0.39) = 0
    EXPECT_EQ(bands[255], (GradBand{99, 100}));
    const GradBandList exact = GradBands(255);  // step 1: band 2
    EXPECT_EQ(exact[255], (GradBand{254, 256}));
}

constexpr TColor kFont = RGBColor(1, 1, 1);
constexpr TColor kBack = RGBColor(9, 9, 9);
constexpr TColor kWhite = RGBColor(255, 255, 255);
constexpr TColor kGrey = RGBColor(128, 128, 128);

CaptionLook Look(bool enabled, bool font3D, int depth, TFontStyle3D style) {
    return CaptionLook{enabled, font3D, static_cast<std::uint8_t>(depth), style, kBack, kFont};
}

TEST(GradCaptionPasses, DisabledCaptionIsEngravedWhateverTheEffect) {
    const auto engraved = ElementsAre(CaptionPass{1, 1, kWhite}, CaptionPass{0, 0, kGrey});
    EXPECT_THAT(CaptionPasses(Look(false, false, 1, fsRaise3D)), engraved);
    EXPECT_THAT(CaptionPasses(Look(false, true, 5, fsLow3D)), engraved);
}

TEST(GradCaptionPasses, PlainCaptionIsOnePassInTheFontColour) {
    EXPECT_THAT(CaptionPasses(Look(true, false, 7, fsLow3D)),
                ElementsAre(CaptionPass{0, 0, kFont}));
}

TEST(GradCaptionPasses, ShadowsAreOnePassAtTheDepth) {
    EXPECT_THAT(CaptionPasses(Look(true, true, 3, fsLowShadow)),
                ElementsAre(CaptionPass{3, 3, kBack}, CaptionPass{0, 0, kFont}));
    EXPECT_THAT(CaptionPasses(Look(true, true, 3, fsRaiseShadow)),
                ElementsAre(CaptionPass{-3, -3, kBack}, CaptionPass{0, 0, kFont}));
    // Depth 0: the shadow lies exactly under the text.
    EXPECT_THAT(CaptionPasses(Look(true, true, 0, fsLowShadow)),
                ElementsAre(CaptionPass{0, 0, kBack}, CaptionPass{0, 0, kFont}));
}

TEST(GradCaptionPasses, LayersGoOutwardOnePixelAtATime) {
    EXPECT_THAT(CaptionPasses(Look(true, true, 3, fsLow3D)),
                ElementsAre(CaptionPass{1, 1, kBack}, CaptionPass{2, 2, kBack},
                            CaptionPass{3, 3, kBack}, CaptionPass{0, 0, kFont}));
    EXPECT_THAT(CaptionPasses(Look(true, true, 2, fsRaise3D)),
                ElementsAre(CaptionPass{-1, -1, kBack}, CaptionPass{-2, -2, kBack},
                            CaptionPass{0, 0, kFont}));
    EXPECT_THAT(CaptionPasses(Look(true, true, 0, fsLow3D)), ElementsAre(CaptionPass{0, 0, kFont}));
    EXPECT_EQ(CaptionPasses(Look(true, true, 255, fsRaise3D)).size(), 256u);
}

}  // namespace
}  // namespace palomix
