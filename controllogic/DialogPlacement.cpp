#include "controllogic/DialogPlacement.h"

#include <algorithm>

namespace palomix {
namespace {

// One axis: the centred start, pulled back inside the screen.
int PlaceOnAxis(int targetStart, int targetEnd, int size, int screenStart, int screenEnd) {
    int start = targetStart + (targetEnd - targetStart - size) / 2;
    if (start + size > screenEnd) {
        start = std::min(targetEnd, screenEnd) - size;
    }
    return std::max(start, screenStart);
}

}  // namespace

ScreenPoint CenterDialog(const ScreenRect& target, int dialogWidth, int dialogHeight,
                         const ScreenRect& screen) {
    return ScreenPoint{
        PlaceOnAxis(target.left, target.right, dialogWidth, screen.left, screen.right),
        PlaceOnAxis(target.top, target.bottom, dialogHeight, screen.top, screen.bottom)};
}

}  // namespace palomix
