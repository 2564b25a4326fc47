#include "engine/JobQueue.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace palomix {

namespace {

const std::string& EmptyText() {
    static const std::string empty;
    return empty;
}

}  // namespace

JobQueue::JobQueue(PathStyle style) : style_(style) {}

void JobQueue::AddObserver(JobQueueObserver* observer) {
    if (observer != nullptr &&
        std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void JobQueue::RemoveObserver(JobQueueObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

template <typename F>
void JobQueue::Notify(F&& f) {
    // A copy, so that an observer may remove itself while being told.
    const std::vector<JobQueueObserver*> observers = observers_;
    for (JobQueueObserver* observer : observers) {
        f(*observer);
    }
}

void JobQueue::Append(std::string path) {
    if (JobCount() == std::numeric_limits<std::int32_t>::max()) {
        return;  // the count is a signed 32-bit value; a list that long takes no more
    }
    if (pendingFrom_ < 0) {
        pendingFrom_ = JobCount();
    }
    const auto nameOffset =
        static_cast<std::uint32_t>(path.size() - FileNameOf(path, style_).size());
    jobs_.push_back(Job{std::move(path), nameOffset});
}

void JobQueue::FlushAppends() {
    if (pendingFrom_ < 0) {
        return;
    }
    const std::int32_t before = pendingFrom_;
    const std::int32_t after = JobCount();
    pendingFrom_ = -1;
    if (after == before || observers_.empty()) {
        return;
    }
    if (before == 0) {
        // The first job takes the blank row 1; the others are new rows.
        Notify([](JobQueueObserver& o) { o.CellsChanged(1, 1, 0, kJobGridColumns - 1); });
        if (after > 1) {
            Notify([after](JobQueueObserver& o) { o.RowsInserted(2, after - 1); });
        }
    } else {
        Notify(
            [before, after](JobQueueObserver& o) { o.RowsInserted(before + 1, after - before); });
    }
}

void JobQueue::AddJob(std::string path) {
    Append(std::move(path));
    if (appendDepth_ == 0) {
        FlushAppends();
    }
}

void JobQueue::AddJobs(std::span<const std::string> paths) {
    BeginAppend();
    for (const std::string& path : paths) {
        Append(path);
    }
    EndAppend();
}

void JobQueue::BeginAppend() {
    ++appendDepth_;
}

void JobQueue::EndAppend() {
    if (appendDepth_ > 0 && --appendDepth_ == 0) {
        FlushAppends();
    }
}

bool JobQueue::RemoveHeadJob() {
    FlushAppends();
    if (jobs_.empty()) {
        return false;
    }
    jobs_.pop_front();
    headStatus_.clear();
    headStatusSet_ = false;
    if (jobs_.empty()) {
        // Row 1 stays, blank.
        Notify([](JobQueueObserver& o) { o.CellsChanged(1, 1, 0, kJobGridColumns - 1); });
        return false;
    }
    Notify([](JobQueueObserver& o) { o.RowsRemoved(1, 1); });
    return true;
}

const std::string& JobQueue::HeadPath() const {
    return jobs_.empty() ? EmptyText() : jobs_.front().path;
}

const std::string& JobQueue::JobPath(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return EmptyText();
    }
    return jobs_[static_cast<std::size_t>(index)].path;
}

void JobQueue::SetHeadStatus(std::string text) {
    FlushAppends();
    if (jobs_.empty()) {
        return;
    }
    headStatus_ = std::move(text);
    headStatusSet_ = true;
    Notify([](JobQueueObserver& o) { o.CellsChanged(1, 1, kStatusColumn, kStatusColumn); });
}

void JobQueue::SetHeader(std::string status, std::string fileName, std::string fullPath) {
    FlushAppends();
    header_[kStatusColumn] = std::move(status);
    header_[kFileNameColumn] = std::move(fileName);
    header_[kFullPathColumn] = std::move(fullPath);
    Notify([](JobQueueObserver& o) { o.CellsChanged(0, 0, 0, kJobGridColumns - 1); });
}

std::string JobQueue::Cell(int column, int row) const {
    if (column < 0 || column >= kJobGridColumns || row < 0 || row >= RowCount()) {
        return {};
    }
    if (row == 0) {
        return header_[column];
    }
    if (jobs_.empty()) {
        return {};  // the blank row 1 of an empty list
    }
    const Job& job = jobs_[static_cast<std::size_t>(row - 1)];
    switch (column) {
        case kStatusColumn:
            return row == 1 && headStatusSet_ ? headStatus_ : std::string(kWaitStatus);
        case kFileNameColumn:
            return job.path.substr(job.nameOffset);
        default:
            return job.path;
    }
}

}  // namespace palomix
