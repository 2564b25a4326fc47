#include "app/StringGrid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <utility>

namespace palomix {

namespace {

void SetUpHeaders(QTableView& view) {
    QHeaderView* rows = view.verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* columns = view.horizontalHeader();
    columns->setMinimumSectionSize(1);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(false);
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setDragDropMode(QAbstractItemView::NoDragDrop);
    view.setWordWrap(false);
    view.setTextElideMode(Qt::ElideNone);
    view.setCornerButtonEnabled(false);
    view.setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
}

}  // namespace

TStringGrid::TStringGrid(QWidget* parent) : QTableView(parent), fixed_(new QTableView(this)) {
    SetUpHeaders(*this);
    SetUpHeaders(*fixed_);
    // The columns to the right of the fixed one slide under it pixel by pixel.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    fixed_->setFocusPolicy(Qt::NoFocus);
    fixed_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fixed_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fixed_->setFrameShape(QFrame::NoFrame);
    // A status too wide for the column keeps its end, the elapsed time, in sight:
    // "…ing...(00:01:23)" rather than a cut-off "Converting...(00:0".
    fixed_->setTextElideMode(Qt::ElideLeft);
    fixed_->setStyleSheet(QStringLiteral("QTableView { border: none; }"));
    viewport()->stackUnder(fixed_);
    fixed_->viewport()->installEventFilter(this);

    // Both views scroll up and down together, whichever the user scrolls.
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, fixed_->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(fixed_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    // The fixed column is resized on its own header; the main view follows it.
    connect(fixed_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int /*oldSize*/, int newSize) {
                if (column == 0 && columnWidth(0) != newSize) {
                    setColumnWidth(0, newSize);
                }
                PlaceFixedColumn();
            });
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int /*oldSize*/, int newSize) {
                if (column == 0 && fixed_->columnWidth(0) != newSize) {
                    fixed_->setColumnWidth(0, newSize);
                }
                PlaceFixedColumn();
            });
    fixed_->show();
}

void TStringGrid::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    fixed_->setModel(model);
    fixed_->setSelectionModel(selectionModel());
    if (model != nullptr) {
        for (int column = 1; column < model->columnCount(); ++column) {
            fixed_->setColumnHidden(column, true);
        }
    }
    fixed_->setColumnWidth(0, columnWidth(0));
    PlaceFixedColumn();
}

void TStringGrid::SetRowHeight(int height) {
    for (QTableView* view : {static_cast<QTableView*>(this), fixed_}) {
        view->verticalHeader()->setDefaultSectionSize(height);
        view->horizontalHeader()->setFixedHeight(height);
    }
    PlaceFixedColumn();
}

void TStringGrid::SetColumnWidth(int column, int width) {
    setColumnWidth(column, width);
    if (column == 0) {
        fixed_->setColumnWidth(0, width);
    }
    PlaceFixedColumn();
}

void TStringGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    PlaceFixedColumn();
}

void TStringGrid::updateGeometries() {
    QTableView::updateGeometries();
    PlaceFixedColumn();
}

QModelIndex TStringGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    // Only a move across the columns brings the current cell into view sideways.
    followSideways_ = cursorAction == MoveLeft || cursorAction == MoveRight ||
                      cursorAction == MoveHome || cursorAction == MoveEnd;
    // Moving left onto a cell hidden under the fixed column scrolls it out from under it.
    if (cursorAction == MoveLeft && current.column() > 0 &&
        visualRect(current).left() < fixed_->columnWidth(0)) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                        visualRect(current).left() - fixed_->columnWidth(0));
    }
    return current;
}

void TStringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // Whole rows are chosen: a click (or a move up or down) scrolls to the row only, and the
    // columns stay where the user left them. A cell of the fixed column is always in view.
    const int sideways = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!std::exchange(followSideways_, false) || index.column() == 0) {
        horizontalScrollBar()->setValue(sideways);
    }
}

void TStringGrid::contextMenuEvent(QContextMenuEvent* event) {
    AskForMenu(*this, *event);
    event->accept();
}

bool TStringGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fixed_->viewport() && event->type() == QEvent::ContextMenu) {
        AskForMenu(*fixed_, *static_cast<QContextMenuEvent*>(event));
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void TStringGrid::AskForMenu(QTableView& view, const QContextMenuEvent& event) {
    QModelIndex index;
    QPoint globalPos = event.globalPos();
    if (event.reason() == QContextMenuEvent::Keyboard) {
        // From the keyboard: the current row, with the menu over it.
        index = currentIndex();
        if (index.isValid()) {
            globalPos = viewport()->mapToGlobal(visualRect(index).center());
        }
    } else {
        index = view.indexAt(event.pos());
    }
    if (index.isValid() && (index.flags() & Qt::ItemIsSelectable) &&
        !selectionModel()->isRowSelected(index.row(), QModelIndex())) {
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    const bool isRow = index.isValid() && (index.flags() & Qt::ItemIsSelectable);
    emit RowMenuRequested(isRow ? index.row() : -1, globalPos);
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Delete) {
        emit DeletePressed();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TStringGrid::PlaceFixedColumn() {
    fixed_->setGeometry(frameWidth(), frameWidth(), columnWidth(0),
                        viewport()->height() + horizontalHeader()->height());
}

}  // namespace palomix
