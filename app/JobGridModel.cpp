#include "app/JobGridModel.h"

#include <algorithm>
#include <chrono>

#include "app/QtText.h"

namespace palomix {

namespace {

// A removal of rows costs a view a walk over all the rows it holds. Jobs that leave a long list
// a few at a time (a run's finished jobs) have the rows below them move up instead, and the
// blank rows left at the end wait this long to go in one removal: the views pay one walk such
// time, not one a job. A removal of a share of the rows this large or larger is made at once.
constexpr auto kTrimDelay = std::chrono::milliseconds(250);
constexpr int kRowsPerRemovalAtOnce = 256;

}  // namespace

std::string ConvertingStatusText(std::int64_t seconds) {
    return "Converting...(" + ElapsedTimeText(seconds) + ")";
}

std::string StatusWords(const JobStatus& status, const RunTexts& texts) {
    switch (status.state) {
        case JobState::Waiting:
            return std::string(kWaitStatus);
        case JobState::Converting:
            return ConvertingStatusText(status.seconds);
        case JobState::NotStarted:
            return FillIn(texts.notStartedFormat, "{program}", status.program);
    }
    return {};
}

JobGridModel::JobGridModel(Engine& engine, QObject* parent)
    : QAbstractTableModel(parent),
      engine_(engine),
      jobs_(engine.JobCount()),
      rows_(JobRows()),
      texts_(&RunTextsFor(Language::Japanese)) {
    trim_.setSingleShot(true);
    trim_.setInterval(kTrimDelay);
    connect(&trim_, &QTimer::timeout, this, [this] { TrimRows(); });
    engine_.AddObserver(this);
}

JobGridModel::~JobGridModel() {
    engine_.RemoveObserver(this);
}

void JobGridModel::SetCaptions(const WindowCaptions& captions, const RunTexts& texts) {
    header_ = {std::string(captions.headerStatus), std::string(captions.headerFileName),
               std::string(captions.headerFullPath)};
    texts_ = &texts;
    emit headerDataChanged(Qt::Horizontal, 0, kJobGridColumns - 1);
    if (jobs_ > 0) {
        RowsChanged(0, jobs_ - 1, kStatusColumn);
    }
}

std::string JobGridModel::Cell(int column, int row) const {
    if (column < 0 || column >= kJobGridColumns || row < 0 || row > Rows()) {
        return {};
    }
    if (row == 0) {
        return header_[static_cast<std::size_t>(column)];
    }
    const std::int32_t index = row - 1;
    if (index >= engine_.JobCount()) {
        return {};  // the blank row of an empty list
    }
    switch (column) {
        case kStatusColumn:
            return StatusWords(engine_.Status(index), *texts_);
        case kFileNameColumn:
            return std::string(engine_.Job(index).fileName);
        default:
            return std::string(engine_.Job(index).path);
    }
}

int JobGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Rows();
}

int JobGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kJobGridColumns;
}

QVariant JobGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Rows()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return Q(Cell(index.column(), index.row() + 1));
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
            return Q(Cell(section, 0));
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
    if (index.row() >= JobRows()) {
        return Qt::ItemIsEnabled;  // a blank row left over: no job to choose
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;  // never editable
}

void JobGridModel::JobsAdded(std::int32_t first, std::int32_t count) {
    if (count <= 0) {
        return;
    }
    const int before = jobs_;
    jobs_ += count;
    if (first < before) {
        beginInsertRows(QModelIndex(), first, first + count - 1);
        rows_ += count;
        endInsertRows();
        return;
    }
    // Added at the end: blank rows there (the one of an empty list, or left over) take the
    // first of them.
    const int reused = std::min(count, rows_ - before);
    if (reused > 0) {
        RowsChanged(before, before + reused - 1);
    }
    if (count > reused) {
        beginInsertRows(QModelIndex(), rows_, rows_ + count - reused - 1);
        rows_ += count - reused;
        endInsertRows();
    }
}

void JobGridModel::JobsRemoved(std::int32_t first, std::int32_t count) {
    if (count <= 0) {
        return;
    }
    jobs_ = std::max(jobs_ - count, 0);
    if (jobs_ > 0 && count * kRowsPerRemovalAtOnce < rows_) {
        MoveRowsUp(first, count);
        if (!trim_.isActive()) {
            trim_.start();
        }
        return;
    }
    if (jobs_ > 0) {
        beginRemoveRows(QModelIndex(), first, first + count - 1);
        rows_ -= count;
        endRemoveRows();
        return;
    }
    // The last jobs went: the first row stays, blank.
    trim_.stop();
    TrimRows();
    RowsChanged(0, 0);
}

void JobGridModel::MoveRowsUp(int first, int count) {
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& moved : from) {
        int row = moved.row();
        if (row >= first + count) {
            row -= count;
        } else if (row >= first) {
            // A removed job's: a selection that began there begins with the job after it now,
            // one that ended there ends with the job before it (none: it goes).
            row = moved.column() == kJobGridColumns - 1 ? first - 1 : first;
        }
        to.push_back(row < 0 ? QModelIndex() : index(row, moved.column()));
    }
    changePersistentIndexList(from, to);
    RowsChanged(first, rows_ - 1);
}

void JobGridModel::TrimRows() {
    const int keep = JobRows();
    if (rows_ > keep) {
        beginRemoveRows(QModelIndex(), keep, rows_ - 1);
        rows_ = keep;
        endRemoveRows();
    }
}

void JobGridModel::JobsMoved(std::int32_t first, std::int32_t count) {
    if (count > 0) {
        RowsChanged(first, first + count - 1);
    }
}

void JobGridModel::JobStatusChanged(std::int32_t index) {
    if (index >= 0 && index < jobs_) {
        RowsChanged(index, index, kStatusColumn);
    }
}

void JobGridModel::RowsChanged(int first, int last, int lastColumn) {
    emit dataChanged(index(first, 0), index(last, lastColumn));
}

}  // namespace palomix
