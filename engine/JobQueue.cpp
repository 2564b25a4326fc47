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

void JobQueue::AddObserver(JobQueueObserver* observer) const {
    if (observer != nullptr &&
        std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void JobQueue::RemoveObserver(JobQueueObserver* observer) const {
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

void JobQueue::Append(std::string path, std::string_view subfolder) {
    if (JobCount() == std::numeric_limits<std::int32_t>::max()) {
        return;  // the count is a signed 32-bit value; a list that long takes no more
    }
    if (pendingFrom_ < 0) {
        pendingFrom_ = JobCount();
    }
    std::uint32_t folder = 0;
    if (!subfolder.empty()) {
        if (subfolders_.back() == subfolder) {
            folder = static_cast<std::uint32_t>(subfolders_.size() - 1);
        } else {
            const auto [found, added] = subfolderIndex_.try_emplace(
                std::string(subfolder), static_cast<std::uint32_t>(subfolders_.size()));
            if (added) {
                subfolders_.emplace_back(subfolder);
            }
            folder = found->second;
        }
    }
    const auto nameOffset =
        static_cast<std::uint32_t>(path.size() - FileNameOf(path, style_).size());
    jobs_.push_back(Job{std::move(path), ++lastId_, nameOffset, folder, JobState::Waiting});
}

const std::string& JobQueue::Subfolder(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return EmptyText();
    }
    return subfolders_[jobs_[static_cast<std::size_t>(index)].subfolder];
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

JobId JobQueue::AddJob(std::string path, std::string_view subfolder) {
    const std::int32_t before = JobCount();
    Append(std::move(path), subfolder);
    const JobId id = JobCount() > before ? jobs_.back().id : 0;
    if (appendDepth_ == 0) {
        FlushAppends();
    }
    return id;
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

void JobQueue::RemoveAt(std::size_t index) {
    details_.erase(jobs_[index].id);
    jobs_.erase(jobs_.begin() + static_cast<std::ptrdiff_t>(index));
    const int row = static_cast<int>(index) + 1;
    if (jobs_.empty()) {
        // Row 1 stays, blank.
        Notify([](JobQueueObserver& o) { o.CellsChanged(1, 1, 0, kJobGridColumns - 1); });
        return;
    }
    Notify([row](JobQueueObserver& o) { o.RowsRemoved(row, 1); });
}

bool JobQueue::RemoveHeadJob() {
    FlushAppends();
    if (jobs_.empty()) {
        return false;
    }
    RemoveAt(0);
    return !jobs_.empty();
}

bool JobQueue::Remove(JobId id) {
    FlushAppends();
    const std::optional<std::int32_t> index = IndexOf(id);
    if (!index) {
        return false;
    }
    RemoveAt(static_cast<std::size_t>(*index));
    return true;
}

std::vector<JobQueue::Job> JobQueue::TakeOut(
    const std::unordered_set<JobId>& ids, std::size_t first,
    std::vector<std::pair<std::int32_t, std::int32_t>>& runs) {
    std::vector<Job> taken;
    std::size_t kept = first;
    for (std::size_t index = first; index < jobs_.size(); ++index) {
        Job& job = jobs_[index];
        if (!ids.contains(job.id)) {
            if (kept != index) {
                jobs_[kept] = std::move(job);
            }
            ++kept;
            continue;
        }
        const auto at = static_cast<std::int32_t>(index);
        if (!runs.empty() && runs.back().first + runs.back().second == at) {
            ++runs.back().second;
        } else {
            runs.emplace_back(at, 1);
        }
        taken.push_back(std::move(job));
    }
    jobs_.erase(jobs_.begin() + static_cast<std::ptrdiff_t>(kept), jobs_.end());
    return taken;
}

std::int32_t JobQueue::Remove(std::span<const JobId> ids) {
    FlushAppends();
    const std::unordered_set<JobId> wanted(ids.begin(), ids.end());
    std::vector<std::pair<std::int32_t, std::int32_t>> runs;
    const std::vector<Job> taken = TakeOut(wanted, 0, runs);
    for (const Job& job : taken) {
        details_.erase(job.id);
    }
    // From the bottom up, so that each report leaves the rows above it where they were.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        // Named copies: a lambda may not capture a structured binding under every compiler.
        const auto index = run->first;
        const auto count = run->second;
        if (index == 0 && jobs_.empty()) {
            // Row 1 stays, blank; the rows below it go.
            if (count > 1) {
                Notify([count](JobQueueObserver& o) { o.RowsRemoved(2, count - 1); });
            }
            Notify([](JobQueueObserver& o) { o.CellsChanged(1, 1, 0, kJobGridColumns - 1); });
        } else {
            Notify([row = index + 1, count](JobQueueObserver& o) { o.RowsRemoved(row, count); });
        }
    }
    return static_cast<std::int32_t>(taken.size());
}

void JobQueue::MoveUp(std::span<const JobId> ids, std::int32_t keep) {
    FlushAppends();
    keep = std::clamp<std::int32_t>(keep, 0, JobCount());
    const std::unordered_set<JobId> wanted(ids.begin(), ids.end());
    std::vector<std::pair<std::int32_t, std::int32_t>> runs;
    std::vector<Job> moved = TakeOut(wanted, static_cast<std::size_t>(keep), runs);
    if (moved.empty()) {
        return;
    }
    if (runs.size() == 1 && runs.front().first == keep) {
        // Already there: put back as they were, nothing changed.
        jobs_.insert(jobs_.begin() + keep, std::make_move_iterator(moved.begin()),
                     std::make_move_iterator(moved.end()));
        return;
    }
    // The list without the moved jobs, as the removals report it, then the moved ones back in.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        Notify([row = run->first + 1, count = run->second](JobQueueObserver& o) {
            o.RowsRemoved(row, count);
        });
    }
    jobs_.insert(jobs_.begin() + keep, std::make_move_iterator(moved.begin()),
                 std::make_move_iterator(moved.end()));
    const int first = keep + 1;
    const int count = static_cast<int>(moved.size());
    Notify([first, count](JobQueueObserver& o) { o.RowsInserted(first, count); });
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

std::string_view JobQueue::FileName(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return {};
    }
    const Job& job = jobs_[static_cast<std::size_t>(index)];
    return std::string_view(job.path).substr(job.nameOffset);
}

JobId JobQueue::Id(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return 0;
    }
    return jobs_[static_cast<std::size_t>(index)].id;
}

std::optional<std::int32_t> JobQueue::IndexOf(JobId id) const {
    // The jobs asked about are nearly always the converting ones, at the top of the list.
    const auto found =
        std::find_if(jobs_.begin(), jobs_.end(), [id](const Job& job) { return job.id == id; });
    if (id == 0 || found == jobs_.end()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(found - jobs_.begin());
}

JobStatus JobQueue::Status(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return {};
    }
    const Job& job = jobs_[static_cast<std::size_t>(index)];
    JobStatus status{job.state, 0, {}};
    if (const auto detail = details_.find(job.id); detail != details_.end()) {
        status.seconds = detail->second.seconds;
        status.program = detail->second.program;
    }
    return status;
}

void JobQueue::SetStatus(JobId id, JobStatus status) {
    FlushAppends();
    const std::optional<std::int32_t> index = IndexOf(id);
    if (!index) {
        return;
    }
    jobs_[static_cast<std::size_t>(*index)].state = status.state;
    if (status.state == JobState::Waiting) {
        details_.erase(id);
    } else {
        details_.insert_or_assign(id, Detail{status.seconds, std::move(status.program)});
    }
    const int row = *index + 1;
    Notify([row](JobQueueObserver& o) { o.CellsChanged(row, row, kStatusColumn, kStatusColumn); });
}

}  // namespace palomix
