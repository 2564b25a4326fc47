// The table model of the job grid StringGrid2 over the core's job list. Grid row 0 (the
// column captions) is the horizontal header of the view, so it stays in place when the
// list scrolls; grid rows 1 .. RowCount()-1 are model rows 0 .. RowCount()-2. With no job the
// model has one blank row, as the grid does. The captions and the words of the status column
// are the window's, in its language.
//
// The job list reports every change after it happened; the model keeps the row count it has
// told the views, so that the views always see begin/end pairs with the old count before
// and the new count after, and one drop of many files is one insertion.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <array>

#include "app/Captions.h"
#include "engine/JobQueue.h"

namespace palomix {

// The colours of the grid: the fixed header row and status column, and the other cells.
inline const QColor kFixedCellColor{226, 226, 226};
inline const QColor kCellColor{255, 255, 255};

class JobGridModel final : public QAbstractTableModel, private JobQueueObserver {
    Q_OBJECT

public:
    explicit JobGridModel(const JobQueue& queue, QObject* parent = nullptr);
    ~JobGridModel() override;

    // The column captions (row 0) and the words of the status column, in the window's language.
    void SetCaptions(const WindowCaptions& captions, const RunTexts& texts);

    // The text of a cell in grid terms: row 0 the captions, rows 1.. the jobs (or the blank
    // row 1 of an empty list).
    std::string Cell(int column, int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void RowsInserted(int firstRow, int count) override;
    void RowsRemoved(int firstRow, int count) override;
    void CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) override;

    const JobQueue& queue_;
    int rows_;  // model rows as last reported to the views
    std::array<std::string, kJobGridColumns> header_;
    const RunTexts* texts_;
};

}  // namespace palomix
