// Keeps the window's job list in the queue file (settings/QueueFile.h) while it changes, so
// that the files still waiting survive a close, a crash or a power cut. The event loop only
// notes a change and, a moment later (once what changed the list has been shown) and at most
// once a second, copies the list into one string (the snapshot: a few milliseconds for
// 100,000 files); a writer thread of its own turns the snapshot into the file's text and
// replaces the file atomically. A list that runs empty removes the file: nothing is left
// unfinished.
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
    // Copies the list and hands it to the writer; the generation to wait for.
    std::uint64_t TakeSnapshot();
    void WaitForWriter(std::uint64_t generation);
    void Write();
    void WriteEnded(const std::string& failure);

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
    bool failing_ = false;  // the last write failed and was reported

    // Shared with the writer thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    // A snapshot: the settings, and every job's path, subfolder, own command ("ITEM:FILE", or
    // empty) and own output folder, each ended by a NUL (which no name holds), one after the
    // other in one string, so that copying the list is one allocation however long it is. The
    // writer turns it into the file's text.
    struct Snapshot {
        SavedQueue settings;
        std::string names;
        std::size_t files = 0;
    };
    std::optional<Snapshot> pending_;
    // The names of a snapshot the writer is done with, handed back so that the next snapshot
    // copies into memory that is in use already.
    std::string spare_;
    std::uint64_t handedOver_ = 0;  // generations handed to the writer
    std::uint64_t done_ = 0;        // the last generation written
    bool quit_ = false;
    std::thread writer_;  // last: it starts once everything above is there
};

}  // namespace palomix
