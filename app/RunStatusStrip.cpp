#include "app/RunStatusStrip.h"

#include <QEvent>
#include <QMouseEvent>
#include <algorithm>

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

namespace {

constexpr QChar kEllipsis(0x2026);

// The last name of a path with the separator before it ("/ffmpeg"), or the whole path.
QString LastName(const QString& path) {
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf('\\'));
    return cut > 0 ? path.mid(cut) : path;
}

// The path in `room` pixels, which hold at least "…" and its last name: its folders shortened
// in their middle ("/home/…/ffmpeg").
QString ShortenedPath(const QString& path, const QFontMetrics& metrics, int room) {
    if (metrics.horizontalAdvance(path) <= room) {
        return path;
    }
    const QString name = LastName(path);
    const QString folders = path.left(path.size() - name.size());
    const QString shortened =
        metrics.elidedText(folders, Qt::ElideMiddle, room - metrics.horizontalAdvance(name));
    return (shortened.isEmpty() ? QString(kEllipsis) : shortened) + name;
}

}  // namespace

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
    if (at < 0) {
        setText(metrics.elidedText(status_, Qt::ElideRight, room));
        return;
    }
    // The path gives way first, then the words before it: the path's last name and what
    // follows it (what is missing and why) stay whole as long as they fit at all.
    const QString before = status_.left(at);
    const QString end = status_.mid(at + path_.size());
    const QString fewest = QString(kEllipsis) + LastName(path_) + end;
    const int pathRoom = room - metrics.horizontalAdvance(before + end);
    if (pathRoom >= metrics.horizontalAdvance(QString(kEllipsis) + LastName(path_))) {
        setText(before + ShortenedPath(path_, metrics, pathRoom) + end);
    } else if (metrics.horizontalAdvance(fewest) < room) {
        setText(
            metrics.elidedText(before, Qt::ElideLeft, room - metrics.horizontalAdvance(fewest)) +
            fewest);
    } else {
        setText(metrics.elidedText(fewest, Qt::ElideLeft, room));
    }
}

}  // namespace palomix
