#include "app/RunStatusStrip.h"

#include <QMouseEvent>

namespace palomix {

TRunStatusStrip::TRunStatusStrip(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void TRunStatusStrip::SetStatus(const QString& text, bool clickable) {
    status_ = text;
    clickable_ = clickable && !text.isEmpty();
    setCursor(clickable_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
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

void TRunStatusStrip::ShowElided() {
    setText(fontMetrics().elidedText(status_, Qt::ElideRight, width()));
}

}  // namespace palomix
