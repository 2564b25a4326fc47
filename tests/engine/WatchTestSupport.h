// What the tests of watched folders share: a watched folder on disk with files written into it,
// folder events the test delivers itself (so that events can be lost or an overflow told), and
// the short times the tests keep.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DeviceOutputFakes.h"
#include "engine/EngineTypes.h"
#include "engine/watch/FolderWatch.h"
#include "platform/FolderEvents.h"

namespace palomix::testing {

using namespace std::chrono_literals;
using WatchClock = std::chrono::steady_clock;

// Times short enough for tests, long enough that nothing falls due by itself in between.
inline WatchTiming ShortTiming() {
    WatchTiming timing;
    timing.settle = 200ms;
    timing.rescan = 10s;
    timing.lookAgain = 300ms;
    timing.poll = 50ms;
    timing.openWriterPatience = 2s;
    return timing;
}

// Writes (or overwrites) a file with the text, folders made as needed.
inline void WriteFile(const std::string& path, const std::string& text) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The folders a watch asks events for, as EventFolders keeps them.
class RecordedEventFolders final : public EventFolders {
public:
    std::set<std::string> watched;
    std::set<std::string> refused;  // folders the system does not tell

    bool Watch(const std::string& folder) override {
        if (refused.contains(folder)) {
            return false;
        }
        watched.insert(folder);
        return true;
    }
    void Unwatch(const std::string& folder) override { watched.erase(folder); }
};

// Folder events the test delivers on its own thread (the host's, in these tests): nothing
// arrives unless the test says so, so lost events and overflows are the test's to make.
class TestFolderEvents final : public FolderEvents {
public:
    struct Shared {
        Deliver deliver;
        std::set<std::string> folders;
        std::optional<Clock::time_point> wakeAt;
        bool tellsWrites = true;
    };
    TestFolderEvents(std::shared_ptr<Shared> shared, Deliver deliver) : shared_(std::move(shared)) {
        shared_->deliver = std::move(deliver);
    }
    ~TestFolderEvents() override { shared_->deliver = nullptr; }

    std::error_code Add(const std::string& folder) override {
        shared_->folders.insert(folder);
        return {};
    }
    void Remove(const std::string& folder) override { shared_->folders.erase(folder); }
    void WakeAt(std::optional<Clock::time_point> when) override { shared_->wakeAt = when; }
    bool TellsWrites() const override { return shared_->tellsWrites; }

private:
    std::shared_ptr<Shared> shared_;
};

// The test's side of TestFolderEvents.
class EventDesk {
public:
    std::shared_ptr<TestFolderEvents::Shared> shared = std::make_shared<TestFolderEvents::Shared>();

    // For EngineSetup::makeFolderEvents.
    std::function<std::unique_ptr<FolderEvents>(PostToHost, FolderEvents::Deliver)> Maker() {
        return [shared = shared](PostToHost, FolderEvents::Deliver deliver) {
            return std::make_unique<TestFolderEvents>(shared, std::move(deliver));
        };
    }
    void Deliver(std::vector<FolderEvent> events) const {
        ASSERT_TRUE(shared->deliver);
        shared->deliver(std::move(events));
    }
    // Waits for the wake-up asked for and delivers it; false when none is asked for before
    // `latest`.
    bool WakeUp(WatchClock::time_point latest = WatchClock::time_point::max()) const {
        if (!shared->wakeAt || *shared->wakeAt > latest) {
            return false;
        }
        std::this_thread::sleep_until(*shared->wakeAt + 1ms);
        Deliver({});
        return true;
    }
    // Wakes the watches up until `done` holds; false when it does not within `limit`.
    bool WakeUntil(const std::function<bool()>& done, WatchClock::duration limit = 5s) const {
        const auto end = WatchClock::now() + limit;
        while (!done()) {
            if (!WakeUp(end)) {
                return done();
            }
        }
        return true;
    }
};

}  // namespace palomix::testing
