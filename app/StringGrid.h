// TStringGrid: the table view of the job grid, with a fixed header row (the horizontal header)
// and a fixed first column that stays in place when the other columns scroll sideways. The
// fixed column is a second view laid over the first column, sharing the model and the
// selection, scrolled up and down with the main view and resized with it.
#pragma once

#include <QTableView>

namespace palomix {

class TStringGrid final : public QTableView {
    Q_OBJECT

public:
    explicit TStringGrid(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // The view that shows the fixed first column.
    QTableView& FixedColumn() const { return *fixed_; }

    // Height of every row and of the header row; width of a column (both views).
    void SetRowHeight(int height);
    void SetColumnWidth(int column, int width);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    void PlaceFixedColumn();

    QTableView* fixed_;
};

}  // namespace palomix
