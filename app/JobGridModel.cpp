#include "app/JobGridModel.h"

#include <algorithm>

#include "app/RunReport.h"

namespace palomix {

JobGridModel::JobGridModel(const JobQueue& queue, QObject* parent)
    : QAbstractTableModel(parent),
      queue_(queue),
      rows_(queue.RowCount() - 1),
      texts_(&RunTextsFor(Language::Japanese)) {
    queue_.AddObserver(this);
}

void JobGridModel::SetCaptions(const WindowCaptions& captions, const RunTexts& texts) {
    header_ = {std::string(captions.headerStatus), std::string(captions.headerFileName),
               std::string(captions.headerFullPath)};
    texts_ = &texts;
    emit headerDataChanged(Qt::Horizontal, 0, kJobGridColumns - 1);
    if (rows_ > 0) {
        emit dataChanged(index(0, kStatusColumn), index(rows_ - 1, kStatusColumn));
    }
}

std::string JobGridModel::Cell(int column, int row) const {
    if (column < 0 || column >= kJobGridColumns || row < 0 || row >= queue_.RowCount()) {
        return {};
    }
    if (row == 0) {
        return header_[static_cast<std::size_t>(column)];
    }
    if (queue_.Empty()) {
        return {};  // the blank row 1 of an empty list
    }
    switch (column) {
        case kStatusColumn:
            return StatusWords(queue_.Status(row - 1), *texts_);
        case kFileNameColumn:
            return std::string(queue_.FileName(row - 1));
        default:
            return queue_.JobPath(row - 1);
    }
}

JobGridModel::~JobGridModel() {
    queue_.RemoveObserver(this);
}

int JobGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int JobGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kJobGridColumns;
}

QVariant JobGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(Cell(index.column(), index.row() + 1));
        case Qt::BackgroundRole:
            return index.column() == kStatusColumn ? kFixedCellColor : kCellColor;
        case Qt::ForegroundRole:
            return QColor(Qt::black);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        default:
            return {};
    }
}

QVariant JobGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kJobGridColumns) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(Cell(section, 0));
        case Qt::BackgroundRole:
            return kFixedCellColor;
        case Qt::ForegroundRole:
            return QColor(Qt::black);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        default:
            return {};
    }
}

Qt::ItemFlags JobGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

void JobGridModel::RowsInserted(int firstRow, int count) {
    if (count <= 0) {
        return;
    }
    const int first = firstRow - 1;
    beginInsertRows(QModelIndex(), first, first + count - 1);
    rows_ += count;
    endInsertRows();
}

void JobGridModel::RowsRemoved(int firstRow, int count) {
    if (count <= 0) {
        return;
    }
    const int first = firstRow - 1;
    beginRemoveRows(QModelIndex(), first, first + count - 1);
    rows_ -= count;
    endRemoveRows();
}

void JobGridModel::CellsChanged(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    if (firstRow == 0) {
        emit headerDataChanged(Qt::Horizontal, firstColumn, lastColumn);
    }
    const int first = std::max(firstRow, 1) - 1;
    const int last = std::min(lastRow - 1, rows_ - 1);
    if (first <= last) {
        emit dataChanged(index(first, firstColumn), index(last, lastColumn));
    }
}

}  // namespace palomix
