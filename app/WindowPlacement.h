// Where the window comes back at a start: the position it was closed at, unless that is no
// longer on any screen (a monitor that was unplugged, a smaller screen).
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace palomix {

// How much of the window's top edge, where the title bar is, must lie on one screen for the
// window to be grabbed and moved there.
inline constexpr int kGrabbableWidth = 40;
inline constexpr int kGrabbableHeight = 10;
inline constexpr int kTitleBarHeight = 20;

// The frame position to restore: `saved` when a strip of the window's top edge (the frame's
// width, kTitleBarHeight high) overlaps one of the screens by at least kGrabbableWidth x
// kGrabbableHeight pixels; `fallback` otherwise.
QPoint RestoredFramePosition(QPoint saved, QSize frameSize, const QList<QRect>& screens,
                             QPoint fallback);

}  // namespace palomix
