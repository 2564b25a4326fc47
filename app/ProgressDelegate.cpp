#include "app/ProgressDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "app/JobGridModel.h"

namespace palomix {

std::optional<int> ProgressBarWidth(const std::optional<JobProgress>& progress, int cellWidth) {
    if (!progress || !progress->percent || !std::isfinite(*progress->percent) || cellWidth <= 0) {
        return std::nullopt;
    }
    const double share = std::clamp(*progress->percent, 0.0, 100.0) / 100.0;
    return static_cast<int>(std::floor(share * cellWidth));
}

ProgressDelegate::ProgressDelegate(ProgressOfRow progressOf, ToolTipOfRow toolTipOf,
                                   QObject* parent)
    : QStyledItemDelegate(parent),
      progressOf_(std::move(progressOf)),
      toolTipOf_(std::move(toolTipOf)) {}

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const std::optional<int> bar =
        index.column() == kStatusColumn
            ? ProgressBarWidth(progressOf_(index.row()), option.rect.width())
            : std::nullopt;
    if (!bar) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's own background, the bar over it, then the text as the view draws it.
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    painter->fillRect(item.rect, item.backgroundBrush);
    painter->fillRect(QRect(item.rect.left(), item.rect.top() + 1, *bar, item.rect.height() - 2),
                      kProgressBarColor);
    item.backgroundBrush = Qt::NoBrush;
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}

QString ProgressDelegate::ToolTip(const QModelIndex& index) const {
    QString tip = index.data(Qt::ToolTipRole).toString();
    if (const QString progress = toolTipOf_(index.row()); !progress.isEmpty()) {
        tip = tip.isEmpty() ? progress : tip + QLatin1Char('\n') + progress;
    }
    return tip;
}

bool ProgressDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip ||
        !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString tip = ToolTip(index);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}

}  // namespace palomix
