// Where the gradient box puts its 256 fills. Each fill is a band across the whole box
// (rows for the vertical styles, columns for the horizontal ones), painted in order with
// the colour table entry of the same number, so a later fill covers an earlier one.
#pragma once

#include <array>

#include "controllogic/GradColors.h"

namespace palomix {

// One fill: from `start` (inclusive) to `end` (exclusive) along the gradient's direction.
struct GradBand {
    int start = 0;
    int end = 0;
    friend bool operator==(const GradBand&, const GradBand&) = default;
};

using GradBandList = std::array<GradBand, kGradColorCount>;

// The fills for a box `extent` pixels long in the gradient's direction (its height for the
// vertical styles, its width for the horizontal ones): step = extent / 255 in extended
// precision, band = Trunc(step + 1); fills 0 and 1 start at 0 and fill i (i >= 1) starts at
// Trunc((i - 1) * step), each `band` long. The last fill reaches the far edge for every
// extent and may end one pixel beyond it.
GradBandList GradBands(int extent);

}  // namespace palomix
