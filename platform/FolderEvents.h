// What the file system says about watched folders as it happens, and a wake-up at a time of the
// watcher's choosing, both handed to the host's thread. A watched folder is watched for its own
// entries (not those of its subfolders: each subfolder is a folder of its own).
//
// Events are hints, not the truth: they can come late, come twice, name an entry that has gone
// again, or be lost (Overflow says so, and then anything may have changed). Whoever watches
// looks at the file system itself before deciding anything.
//
// The system's events run on a thread of their own and post what they gather to the host in one
// delivery at a time (a delivery already waiting takes what comes meanwhile), so a flood of
// events cannot flood the host. On Linux they are inotify's, named entry by entry, with closes
// after writing; on Windows the change notifications, which say only that a folder changed.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/ProcessLauncher.h"

namespace palomix {

struct FolderEvent {
    enum class Kind {
        Written,        // an entry was made, or written to: a writer may hold it open (name: it)
        Closed,         // a file that was open for writing was closed (name: it)
        Arrived,        // an entry was moved in, or its attributes changed (name: it)
        Removed,        // an entry was removed or moved away (name: it)
        FolderChanged,  // something in the folder changed, the system does not say what
        Gone,           // the folder itself was removed, moved or unmounted: watched no more
        Overflow,       // events were lost (folder: empty): anything may have changed
    };
    Kind kind = Kind::FolderChanged;
    std::string folder;  // as it was added
    std::string name;    // the entry's own name
    bool isFolder = false;

    friend bool operator==(const FolderEvent&, const FolderEvent&) = default;
};

class FolderEvents {
public:
    // Called on the host's thread with the events gathered since the last delivery, in the order
    // they came; no event (an empty list) when only the wake-up time has come.
    using Deliver = std::function<void(std::vector<FolderEvent> events)>;
    using Clock = std::chrono::steady_clock;

    virtual ~FolderEvents() = default;

    // Watches one folder's entries; the error when the system cannot (it is missing, or the
    // system's limit of watched folders is reached). Adding a folder twice watches it once.
    virtual std::error_code Add(const std::string& folder) = 0;
    virtual void Remove(const std::string& folder) = 0;
    // A delivery at `when` (or at once when it has passed); a later call replaces it, nullopt
    // calls it off.
    virtual void WakeAt(std::optional<Clock::time_point> when) = 0;
    // True when every write to a file is told (Written) and its close after writing (Closed);
    // false when only that a folder changed is (FolderChanged).
    virtual bool TellsWrites() const = 0;
};

// The system's events. `post` hands a task to the host's thread.
std::unique_ptr<FolderEvents> SystemFolderEvents(PostToHost post, FolderEvents::Deliver deliver);

}  // namespace palomix
