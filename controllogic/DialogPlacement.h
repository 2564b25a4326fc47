// Where a dialog opens: centred over a target rectangle (the program's active window, or
// the whole screen) and kept inside the screen.
#pragma once

namespace palomix {

// A rectangle in screen pixels; right and bottom are exclusive.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The top-left corner of a dialog of the given size centred over `target`:
// left = target left + (target width - dialog width) / 2, top likewise, each half rounded
// toward zero. When the dialog would then stick out below or right of the screen, its
// bottom (right) edge is put on the target's bottom (right) edge or on the screen's, which
// ever is higher (further left), so it also comes back when the target itself lies partly
// off the screen; a corner above or left of the screen moves onto the screen's edge.
ScreenPoint CenterDialog(const ScreenRect& target, int dialogWidth, int dialogHeight,
                         const ScreenRect& screen);

}  // namespace palomix
