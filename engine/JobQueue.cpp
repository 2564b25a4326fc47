#include "engine/JobQueue.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engine/EngineObserver.h"

namespace palomix {

namespace {

const std::string& EmptyText() {
    static const std::string empty;
    return empty;
}

}  // namespace

JobQueue::JobQueue(PathStyle style) : style_(style) {}

std::uint32_t JobQueue::SubfolderNumber(std::string_view subfolder) {
    if (subfolder.empty()) {
        return 0;
    }
    if (subfolders_.back() == subfolder) {
        return static_cast<std::uint32_t>(subfolders_.size() - 1);
    }
    const auto [found, added] = subfolderIndex_.try_emplace(
        std::string(subfolder), static_cast<std::uint32_t>(subfolders_.size()));
    if (added) {
        subfolders_.emplace_back(subfolder);
    }
    return found->second;
}

std::uint32_t JobQueue::CommandNumber(const std::optional<ChosenCommand>& command) {
    if (!command) {
        return 0;
    }
    // A handful of watches at most: a look through the list is enough.
    const auto found = std::find(commands_.begin(), commands_.end(), *command);
    if (found != commands_.end()) {
        return static_cast<std::uint32_t>(found - commands_.begin()) + 1;
    }
    commands_.push_back(*command);
    return static_cast<std::uint32_t>(commands_.size());
}

std::uint32_t JobQueue::OutputNumber(std::string_view folder) {
    if (folder.empty()) {
        return 0;
    }
    // One per watched folder at most: a look through the list is enough.
    const auto found = std::find(outputs_.begin(), outputs_.end(), folder);
    if (found != outputs_.end()) {
        return static_cast<std::uint32_t>(found - outputs_.begin()) + 1;
    }
    outputs_.emplace_back(folder);
    return static_cast<std::uint32_t>(outputs_.size());
}

JobId JobQueue::AddJob(std::string path, std::string_view subfolder,
                       const std::optional<ChosenCommand>& command, std::string_view outputFolder) {
    if (JobCount() == std::numeric_limits<std::int32_t>::max()) {
        return 0;  // the count is a signed 32-bit value; a list that long takes no more
    }
    if (pendingFrom_ < 0) {
        pendingFrom_ = JobCount();
    }
    const auto nameOffset =
        static_cast<std::uint32_t>(path.size() - FileNameOf(path, style_).size());
    const std::uint32_t folder = SubfolderNumber(subfolder);
    jobs_.push_back(Job{std::move(path), ++lastId_, nameOffset, folder, CommandNumber(command),
                        OutputNumber(outputFolder), JobState::Waiting});
    if (appendDepth_ == 0) {
        FlushAppends();
    }
    return lastId_;
}

void JobQueue::FlushAppends() {
    if (pendingFrom_ < 0) {
        return;
    }
    const std::int32_t first = pendingFrom_;
    pendingFrom_ = -1;
    if (JobCount() > first && observer_ != nullptr) {
        observer_->JobsAdded(first, JobCount() - first);
    }
}

void JobQueue::BeginAppend() {
    ++appendDepth_;
}

void JobQueue::EndAppend() {
    if (appendDepth_ > 0 && --appendDepth_ == 0) {
        FlushAppends();
    }
}

bool JobQueue::Remove(JobId id) {
    const JobId ids[] = {id};
    return Remove(ids) > 0;
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
    // The head job goes at the end of nearly every job: no set for one id at the top.
    if (ids.size() == 1 && !jobs_.empty() && jobs_.front().id == ids.front()) {
        details_.erase(ids.front());
        jobs_.pop_front();
        if (observer_ != nullptr) {
            observer_->JobsRemoved(0, 1);
        }
        return 1;
    }
    const std::unordered_set<JobId> wanted(ids.begin(), ids.end());
    std::vector<std::pair<std::int32_t, std::int32_t>> runs;
    const std::vector<Job> taken = TakeOut(wanted, 0, runs);
    for (const Job& job : taken) {
        details_.erase(job.id);
    }
    // From the bottom up, so that each fact leaves the jobs above it where they were.
    if (observer_ != nullptr) {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
            observer_->JobsRemoved(run->first, run->second);
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
    jobs_.insert(jobs_.begin() + keep, std::make_move_iterator(moved.begin()),
                 std::make_move_iterator(moved.end()));
    if (moved.empty() || (runs.size() == 1 && runs.front().first == keep)) {
        return;  // already there: nothing changed
    }
    // Every job from `keep` down to the last one moved stands somewhere else now.
    const std::int32_t last = runs.back().first + runs.back().second - 1;
    if (observer_ != nullptr) {
        observer_->JobsMoved(keep, last - keep + 1);
    }
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

const std::string& JobQueue::Subfolder(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return EmptyText();
    }
    return subfolders_[jobs_[static_cast<std::size_t>(index)].subfolder];
}

const ChosenCommand* JobQueue::Command(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return nullptr;
    }
    const std::uint32_t command = jobs_[static_cast<std::size_t>(index)].command;
    return command == 0 ? nullptr : &commands_[command - 1];
}

const std::string& JobQueue::OutputFolder(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return EmptyText();
    }
    const std::uint32_t output = jobs_[static_cast<std::size_t>(index)].output;
    return output == 0 ? EmptyText() : outputs_[output - 1];
}

JobId JobQueue::Id(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return 0;
    }
    return jobs_[static_cast<std::size_t>(index)].id;
}

JobView JobQueue::View(std::int32_t index) const {
    if (index < 0 || index >= JobCount()) {
        return {};
    }
    return JobView{Id(index),        JobPath(index), FileName(index),
                   Subfolder(index), Command(index), OutputFolder(index)};
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
    if (observer_ != nullptr) {
        observer_->JobStatusChanged(*index);
    }
}

}  // namespace palomix
