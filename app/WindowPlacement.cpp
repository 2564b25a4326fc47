#include "app/WindowPlacement.h"

namespace palomix {

QPoint RestoredFramePosition(QPoint saved, QSize frameSize, const QList<QRect>& screens,
                             QPoint fallback) {
    const QRect topEdge(saved, QSize(frameSize.width(), kTitleBarHeight));
    for (const QRect& screen : screens) {
        const QRect visible = topEdge.intersected(screen);
        if (visible.width() >= kGrabbableWidth && visible.height() >= kGrabbableHeight) {
            return saved;
        }
    }
    return fallback;
}

}  // namespace palomix
