// The painter of the job grid's cells: the status cell of a converting job gets a bar behind
// its unchanged text, as far across as the job has come, and a converting row's tool tip
// tells its progress. Cells of jobs without a known percentage are painted as before.
#pragma once

#include <QColor>
#include <QStyledItemDelegate>
#include <functional>
#include <optional>

#include "engine/EngineTypes.h"

namespace palomix {

inline const QColor kProgressBarColor{166, 214, 140};

// The width of the bar in a cell `cellWidth` pixels wide; nullopt when no percentage is known
// (no bar rather than a wrong one).
std::optional<int> ProgressBarWidth(const std::optional<JobProgress>& progress, int cellWidth);

class ProgressDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    // For a model row: how far its job has come (nullopt when it is not converting), and the
    // words of its progress for the tool tip (empty for none).
    using ProgressOfRow = std::function<std::optional<JobProgress>(int row)>;
    using ToolTipOfRow = std::function<QString(int row)>;

    ProgressDelegate(ProgressOfRow progressOf, ToolTipOfRow toolTipOf, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The tool tip of a cell: the model's own, then the progress of a converting row.
    QString ToolTip(const QModelIndex& index) const;

private:
    ProgressOfRow progressOf_;
    ToolTipOfRow toolTipOf_;
};

}  // namespace palomix
