#include "engine/RunProgress.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/MediaNumbers.h"

namespace palomix {

namespace {

// Length questions of its own running at once, beyond one per converting job.
constexpr std::size_t kQuestionsAtOnce = 2;
// No time left is shown before the run has gone on this long.
constexpr std::int64_t kSecondsBeforeTimeLeft = 2;

const ConvertingShare* ShareOf(std::span<const ConvertingShare> converting, JobId id) {
    const auto found = std::find_if(converting.begin(), converting.end(),
                                    [id](const ConvertingShare& share) { return share.id == id; });
    return found == converting.end() ? nullptr : &*found;
}

}  // namespace

RunProgress::RunProgress(const JobQueue& jobs, MediaProber* prober, LengthKnown onLength)
    : jobs_(jobs), prober_(prober), onLength_(std::move(onLength)) {}

void RunProgress::BeginRun() {
    queue_ = QueueProgress{};
    seconds_ = 0;
    mediaDone_ = 0;
}

const InputLengths* RunProgress::LengthOf(const std::string& path) const {
    const auto found = lengths_.find(path);
    return found == lengths_.end() ? nullptr : &found->second;
}

std::optional<ProbeTicket> RunProgress::TakeOver(const std::string& path) {
    const auto found = std::find_if(asking_.begin(), asking_.end(),
                                    [&path](const auto& asked) { return asked.second == path; });
    if (found == asking_.end()) {
        return std::nullopt;
    }
    const ProbeTicket ticket = found->first;
    asking_.erase(found);
    return ticket;
}

void RunProgress::Record(const std::string& path, const ProbeAnswer& answer) {
    const InputLengths lengths = answer.cancelled ? InputLengths{} : LengthsOf(answer.media);
    lengths_[path] = lengths;
    if (onLength_) {
        onLength_(path, lengths.whole);
    }
}

bool RunProgress::Wanted(const std::string& path,
                         std::span<const ConvertingShare> converting) const {
    return !lengths_.contains(path) &&
           std::none_of(asking_.begin(), asking_.end(),
                        [&path](const auto& asked) { return asked.second == path; }) &&
           std::none_of(converting.begin(), converting.end(), [&path](const auto& share) {
               return share.checkAsks && *share.path == path;
           });
}

bool RunProgress::Ask(const std::string& path) {
    const std::optional<ProbeTicket> ticket =
        prober_->Ask(path, ProbeKind::Length, /*lowPriority=*/true);
    if (!ticket) {
        failed_ = true;  // no lengths, so no percentages; the conversions go on
        return false;
    }
    asking_.emplace(*ticket, path);
    return true;
}

void RunProgress::AskLengths(std::span<const ConvertingShare> converting, bool runActive) {
    if (prober_ == nullptr || failed_ || !runActive) {
        return;
    }
    // The converting jobs first: their percentages wait for it, and so does the check of their
    // outputs once they are done (asked for now, the length is there by then).
    for (const ConvertingShare& share : converting) {
        if (asking_.size() < kQuestionsAtOnce + converting.size() && share.wantsLength &&
            Wanted(*share.path, converting) && !Ask(*share.path)) {
            return;
        }
    }
    if (!follow_) {
        return;  // the waiting jobs' lengths only serve the queue's progress
    }
    for (std::int32_t index = 0; index < jobs_.JobCount() && asking_.size() < kQuestionsAtOnce;
         ++index) {
        const std::string& path = jobs_.JobPath(index);
        if (Wanted(path, converting) && !Ask(path)) {
            return;
        }
    }
}

bool RunProgress::Answered(ProbeTicket ticket, const ProbeAnswer& answer) {
    const auto found = asking_.find(ticket);
    if (found == asking_.end()) {
        return false;
    }
    const std::string path = std::move(found->second);
    asking_.erase(found);
    Record(path, answer);
    return true;
}

void RunProgress::Tick(std::span<const ConvertingShare> converting) {
    ++seconds_;
    Update(converting);
}

void RunProgress::Update(std::span<const ConvertingShare> converting) {
    queue_ = QueueProgress{};
    queue_.jobsLeft = jobs_.JobCount();
    // The media seconds of the run: done, and still to do. A job whose length is not known yet
    // leaves the whole unknown; one without a length (a picture) counts for nothing.
    double done = mediaDone_;
    double left = 0;
    for (std::int32_t index = 0; index < jobs_.JobCount(); ++index) {
        const ConvertingShare* share = ShareOf(converting, jobs_.Id(index));
        if (share != nullptr && share->progress->Duration()) {
            const double length = *share->progress->Duration();
            done += share->progress->MediaDone();
            left += length - share->progress->MediaDone();
            continue;
        }
        const auto known = lengths_.find(jobs_.JobPath(index));
        if (known == lengths_.end()) {
            return;  // not probed yet
        }
        left += known->second.whole.value_or(0.0);
    }
    if (!(done + left > 0) || !std::isfinite(done + left)) {
        return;
    }
    queue_.percent = std::clamp(done / (done + left) * 100, 0.0, 100.0);
    if (seconds_ >= kSecondsBeforeTimeLeft && done > 0) {
        const double rate = done / static_cast<double>(seconds_);  // media seconds a second
        queue_.secondsLeft = WholeSeconds(std::max(0.0, left) / rate);
    }
}

}  // namespace palomix
