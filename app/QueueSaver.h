// Keeps the window's job list in the queue file (settings/QueueFile.h) while it changes, so
// that the files still waiting survive a close, a crash or a power cut. The window's thread
// only notes what changed, as the core tells it (jobs added, removed, moved: its cost is that
// of the change, not of the list), and, a moment later (once what changed the list has been
// shown) and at most once an interval, hands the changes to a writer thread of its own. The
// writer keeps a copy of the list, applies the changes to it, turns it into the file's text and
// replaces the file atomically. So a list of a million files costs the window nothing per
// write, and the interval grows with the time a write takes. A list that runs empty removes
// the file: nothing is left unfinished.
//
// Nothing is written before Start (the window first decides what to do with a queue kept
// from the previous start) nor after Stop (a close that stops the conversion keeps the list as
// it was, with the file being converted still first).
#pragma once

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/Engine.h"
#include "settings/QueueFile.h"

class QTimer;

namespace palomix {

class QueueSaver final : public QObject, private EngineObserver {
    Q_OBJECT

public:
    // The settings the list is converted with (the files left out), read at each snapshot.
    using SettingsSource = std::function<SavedQueue()>;

    // Watches the core's list until the saver goes.
    QueueSaver(Engine& engine, std::string path, SettingsSource settings,
               QObject* parent = nullptr);
    // Writes a change not written yet (unless stopped) and waits for the writer.
    ~QueueSaver() override;
    QueueSaver(const QueueSaver&) = delete;
    QueueSaver& operator=(const QueueSaver&) = delete;

    // From now on every change of the list is saved (the list as it is now counts as one).
    void Start();
    // The settings changed: saved as a change of the list is.
    void SettingsChanged();
    // Writes the list as it is now and returns when it is in the file (a close).
    void SaveNow();
    // Writes nothing more; the file keeps what was written last.
    void Stop();

    // The least time between two snapshots (one second), and between a change and the
    // snapshot that keeps it (a tenth of a second); tests make them shorter.
    void SetInterval(std::chrono::milliseconds interval,
                     std::chrono::milliseconds settle = std::chrono::milliseconds(100)) {
        interval_ = interval;
        settle_ = settle;
    }
    const std::string& Path() const { return path_; }
    // Snapshots written to the file so far, failed writes included.
    std::uint64_t Written() const;

    // Called on the window's thread when a write fails, with the reason (which names the file);
    // once, until a write succeeds again.
    std::function<void(const std::string& reason)> OnWriteFailed;

private:
    // EngineObserver: jobs in, out and moved (a status changes every second during a run; it
    // is not kept).
    void JobsAdded(std::int32_t first, std::int32_t count) override;
    void JobsRemoved(std::int32_t first, std::int32_t count) override;
    void JobsMoved(std::int32_t first, std::int32_t count) override;

    void Changed();
    // The list as it is now, replacing the writer's copy (at the start, or when the changes
    // noted do not add up to the list's length).
    void NoteWholeList();
    // Hands the changes noted so far to the writer; the generation to wait for.
    std::uint64_t TakeSnapshot();
    void WaitForWriter(std::uint64_t generation);
    void Write();
    void WriteEnded(const std::string& failure);

    // A change of the list, as the writer applies it to its copy, a job being one record
    // (RecordOf in the source).
    struct ListChange {
        enum class Kind { Whole, Added, Removed, Replaced };
        Kind kind = Kind::Whole;
        std::int32_t first = 0;
        std::int32_t count = 0;            // Removed
        std::vector<std::string> records;  // Whole, Added, Replaced
    };
    std::vector<std::string> Records(std::int32_t first, std::int32_t count) const;
    void Note(ListChange change);

    Engine& engine_;
    const std::string path_;
    const SettingsSource settings_;
    QTimer* timer_;
    std::chrono::milliseconds interval_{1000};
    std::chrono::milliseconds settle_{100};
    std::chrono::steady_clock::time_point lastSnapshot_{};
    bool started_ = false;
    bool stopped_ = false;
    bool dirty_ = false;
    bool failing_ = false;           // the last write failed and was reported
    std::vector<ListChange> noted_;  // changes not handed to the writer yet
    std::int64_t notedLength_ = 0;   // the list's length once they are applied

    // Shared with the writer thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    SavedQueue pendingSettings_;              // the settings of the newest snapshot
    std::vector<ListChange> pendingChanges_;  // handed over, not applied yet
    std::chrono::milliseconds lastWriteTook_{0};
    std::uint64_t handedOver_ = 0;  // generations handed to the writer
    std::uint64_t done_ = 0;        // the last generation written
    bool quit_ = false;
    std::thread writer_;  // last: it starts once everything above is there
};

}  // namespace palomix
