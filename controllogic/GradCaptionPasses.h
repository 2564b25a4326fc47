// The passes that draw the gradient box's caption: the text is drawn once per pass, moved
// by the pass's offset, in the pass's colour. The shadow and layer effects are made of
// extra passes under the final one.
#pragma once

#include <cstdint>
#include <vector>

#include "controllogic/SystemColors.h"

namespace palomix {

// Kind of caption effect.
enum TFontStyle3D : std::uint8_t {
    fsLowShadow,    // one shadow pass down and right
    fsRaiseShadow,  // one shadow pass up and left
    fsLow3D,        // layers at 1, 2, ... pixels down and right
    fsRaise3D,      // layers at 1, 2, ... pixels up and left
};

struct CaptionPass {
    int dx = 0;  // positive: right
    int dy = 0;  // positive: down
    TColor color = 0;
    friend bool operator==(const CaptionPass&, const CaptionPass&) = default;
};

struct CaptionLook {
    bool enabled = true;
    bool font3D = false;
    std::uint8_t fontDepth = 1;
    TFontStyle3D style3D = fsRaise3D;
    TColor backFont = 0;
    TColor fontColor = 0;
};

// The passes in drawing order:
// - disabled (whatever font3D says): white at (+1, +1), then RGB(128,128,128) at (0, 0);
// - enabled without the effect: the font colour at (0, 0);
// - enabled with the effect, depth d: the effect passes in backFont (a shadow at (+d, +d)
//   or (-d, -d), or d layers at 1 to d pixels, down-right or up-left), then the font colour
//   at (0, 0).
std::vector<CaptionPass> CaptionPasses(const CaptionLook& look);

}  // namespace palomix
