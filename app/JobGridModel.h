// The table model of the job grid StringGrid2 over the core's job list. Grid row 0 (the
// column captions) is the horizontal header of the view, so it stays in place when the list
// scrolls; grid rows 1 .. are model rows 0 .. . With no job the model has one blank row, as
// the grid does: the first job added takes it, and the last one removed leaves it blank. The
// captions and the words of the status column are the window's, in its language.
//
// The core tells every change of its list after it happened (EngineObserver, in job indices);
// the model keeps the number of rows it has told the views, so that they always see
// begin/end pairs with the old row count before and the new one after, and one drop of many
// files is one insertion.
//
// Model row r always shows job r. A view's cost of a removed row grows with the rows it holds
// (its header walks every section), so a few jobs leaving a long list (each finished job of a
// run) are shown at once as the rows below them moving up (a change of cells, the selection
// moved along with them), and the rows left over at the end stay blank until they are removed
// in one go a moment later, or taken by jobs added meanwhile. A short list, a removal of many
// rows and a list that runs empty are removals at once.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/Captions.h"
#include "engine/Engine.h"

namespace palomix {

// The columns of the grid.
inline constexpr int kStatusColumn = 0;
inline constexpr int kFileNameColumn = 1;
inline constexpr int kFullPathColumn = 2;
inline constexpr int kJobGridColumns = 3;

// The colours of the grid: the fixed header row and status column, and the other cells.
inline const QColor kFixedCellColor{226, 226, 226};
inline const QColor kCellColor{255, 255, 255};

// The status of a waiting job, the same in both languages.
inline constexpr std::string_view kWaitStatus = "Wait...";
// The status of a converting job: "Converting...(HH:MM:SS)", the same in both languages.
std::string ConvertingStatusText(std::int64_t seconds);
// The status column's text of a job.
std::string StatusWords(const JobStatus& status, const RunTexts& texts);

class JobGridModel final : public QAbstractTableModel, private EngineObserver {
    Q_OBJECT

public:
    // Watches the core's list until the model goes.
    explicit JobGridModel(Engine& engine, QObject* parent = nullptr);
    ~JobGridModel() override;
    JobGridModel(const JobGridModel&) = delete;
    JobGridModel& operator=(const JobGridModel&) = delete;

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
    void JobsAdded(std::int32_t first, std::int32_t count) override;
    void JobsRemoved(std::int32_t first, std::int32_t count) override;
    void JobsMoved(std::int32_t first, std::int32_t count) override;
    void JobStatusChanged(std::int32_t index) override;

    // Model rows: one per job, the blank one of an empty list, and blank ones left over.
    int Rows() const { return rows_; }
    // The rows that show jobs, or the one blank row of an empty list.
    int JobRows() const { return jobs_ == 0 ? 1 : jobs_; }
    void RowsChanged(int first, int last, int lastColumn = kJobGridColumns - 1);
    // The rows below `first` show the jobs `count` rows further down now; the views' persistent
    // indexes (selection, current cell) move with the jobs, those of removed jobs go.
    void MoveRowsUp(int first, int count);
    // Removes the blank rows left over at the end.
    void TrimRows();

    Engine& engine_;
    int jobs_;  // jobs in the core's list as last told
    int rows_;  // rows as last told to the views: JobRows() and blank ones left over
    QTimer trim_;
    std::array<std::string, kJobGridColumns> header_;
    const RunTexts* texts_;
};

}  // namespace palomix
