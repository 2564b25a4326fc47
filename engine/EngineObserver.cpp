#include "engine/EngineObserver.h"

#include <algorithm>

namespace palomix {

void EngineObservers::Add(EngineObserver* observer) {
    if (observer != nullptr &&
        std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void EngineObservers::Remove(EngineObserver* observer) {
    std::erase(observers_, observer);
}

template <typename Tell>
void EngineObservers::Each(Tell&& tell) {
    // A copy: a handler may add or remove observers. One removed meanwhile is not told.
    const std::vector<EngineObserver*> observers = observers_;
    for (EngineObserver* observer : observers) {
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) {
            tell(*observer);
        }
    }
}

void EngineObservers::JobsAdded(std::int32_t first, std::int32_t count) {
    Each([&](EngineObserver& o) { o.JobsAdded(first, count); });
}

void EngineObservers::JobsRemoved(std::int32_t first, std::int32_t count) {
    Each([&](EngineObserver& o) { o.JobsRemoved(first, count); });
}

void EngineObservers::JobsMoved(std::int32_t first, std::int32_t count) {
    Each([&](EngineObserver& o) { o.JobsMoved(first, count); });
}

void EngineObservers::JobStatusChanged(std::int32_t index) {
    Each([&](EngineObserver& o) { o.JobStatusChanged(index); });
}

void EngineObservers::StopEnabledChanged(bool enabled) {
    Each([&](EngineObserver& o) { o.StopEnabledChanged(enabled); });
}

void EngineObservers::JobStarted(const JobStart& start) {
    Each([&](EngineObserver& o) { o.JobStarted(start); });
}

void EngineObservers::CommandStarted(const CommandStart& start) {
    Each([&](EngineObserver& o) { o.CommandStarted(start); });
}

void EngineObservers::JobEnded(const JobResult& result) {
    Each([&](EngineObserver& o) { o.JobEnded(result); });
}

void EngineObservers::RunEnded(const RunEnd& end) {
    Each([&](EngineObserver& o) { o.RunEnded(end); });
}

void EngineObservers::StopFailed() {
    Each([](EngineObserver& o) { o.StopFailed(); });
}

void EngineObservers::ConverterChecked() {
    Each([](EngineObserver& o) { o.ConverterChecked(); });
}

void EngineObservers::WatchChanged(WatchId id) {
    Each([id](EngineObserver& o) { o.WatchChanged(id); });
}

void EngineObservers::WatchQueued(WatchId id, std::int32_t count) {
    Each([id, count](EngineObserver& o) { o.WatchQueued(id, count); });
}

}  // namespace palomix
