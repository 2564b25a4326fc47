// The window's folder events for watched folders: QFileSystemWatcher (inotify on Linux,
// ReadDirectoryChangesW on Windows) and a timer, both on the window's event loop, so the core's
// watches run on the window's thread as everything else of the core does. QFileSystemWatcher
// says only that a folder changed, so each change is a FolderChanged event; a folder it can no
// longer watch is Gone.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include "platform/FolderEvents.h"

namespace palomix {

class QtFolderEvents final : public QObject, public FolderEvents {
    Q_OBJECT

public:
    explicit QtFolderEvents(Deliver deliver);

    std::error_code Add(const std::string& folder) override;
    void Remove(const std::string& folder) override;
    void WakeAt(std::optional<Clock::time_point> when) override;
    bool TellsWrites() const override { return false; }

private:
    void FolderChanged(const QString& path);

    Deliver deliver_;
    QFileSystemWatcher watcher_;
    QTimer timer_;
};

}  // namespace palomix
