#include "app/RunStatusStrip.h"

#include <QEvent>
#include <QMouseEvent>

namespace palomix {

TRunStatusStrip::TRunStatusStrip(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void TRunStatusStrip::SetStatus(const QString& text, bool clickable, const QString& path,
                                const QString& hint) {
    status_ = text;
    path_ = path;
    hint_ = hint;
    clickable_ = clickable && !text.isEmpty();
    setCursor(clickable_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
    setToolTip(text + hint);
    ShowElided();
}

void TRunStatusStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && clickable_ &&
        rect().contains(event->position().toPoint()) && OnClick) {
        OnClick();
    }
    QLabel::mouseReleaseEvent(event);
}

void TRunStatusStrip::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    ShowElided();
}

void TRunStatusStrip::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ShowElided();
    }
}

void TRunStatusStrip::ShowElided() {
    const QFontMetrics metrics = fontMetrics();
    const int room = width();
    if (!hint_.isEmpty() && metrics.horizontalAdvance(status_ + hint_) <= room) {
        setText(status_ + hint_);
        return;
    }
    if (metrics.horizontalAdvance(status_) <= room) {
        setText(status_);
        return;
    }
    const qsizetype at = path_.isEmpty() ? -1 : status_.indexOf(path_);
    if (at >= 0) {
        const QString before = status_.left(at);
        const QString after = status_.mid(at + path_.size());
        const int pathRoom = room - metrics.horizontalAdvance(before + after);
        // Enough room for a few characters of each end of the path.
        if (pathRoom > metrics.horizontalAdvance(QStringLiteral("/ab…yz/"))) {
            const QString shortened =
                before + metrics.elidedText(path_, Qt::ElideMiddle, pathRoom) + after;
            if (metrics.horizontalAdvance(shortened) <= room) {
                setText(shortened);
                return;
            }
        }
    }
    setText(metrics.elidedText(status_, Qt::ElideRight, room));
}

}  // namespace palomix
