// TStringGrid: the table view of the job grid, with a fixed header row (the horizontal header)
// and a fixed first column that stays in place when the other columns scroll sideways. The
// fixed column is a second view laid over the first column, sharing the model and the
// selection, scrolled up and down with the main view and resized with it.
//
// Whole rows are selected, several at once: a click, Shift and Ctrl with a click or the arrow
// keys, Ctrl+A. Choosing a row never slides the columns sideways; only the keys that move
// across the columns (left, right, Home, End) bring a column into view. A context menu asked for
// over either view (right button, the menu key, Shift+F10) and the Delete key are handed on as
// signals, with the row they concern.
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

signals:
    // A context menu over model row `row` (-1: none, such as below the last row), to be shown
    // at `globalPos`. A row that was not selected is the selection now.
    void RowMenuRequested(int row, QPoint globalPos);
    void DeletePressed();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    void PlaceFixedColumn();
    // The menu for a context menu event over `view` (this one or the fixed column).
    void AskForMenu(QTableView& view, const QContextMenuEvent& event);

    QTableView* fixed_;
    bool followSideways_ = false;  // the next scroll follows a move across the columns
};

}  // namespace palomix
