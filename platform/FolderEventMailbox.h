// How the system's folder events reach the host: a watcher thread puts what it gathers here,
// and the host gets it in one delivery at a time. While a delivery waits to be run, whatever
// comes joins it, so the host's queue holds one delivery at most however many events come; an
// endless stream that the host cannot keep up with becomes one Overflow (look at everything
// again) instead of memory without end.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/FolderEvents.h"

namespace palomix {

class FolderEventMailbox {
public:
    FolderEventMailbox(PostToHost post, FolderEvents::Deliver deliver);
    // Closes it.
    ~FolderEventMailbox();
    FolderEventMailbox(const FolderEventMailbox&) = delete;
    FolderEventMailbox& operator=(const FolderEventMailbox&) = delete;

    // From any thread: events to deliver, and a delivery even without any (the wake-up time).
    void Put(std::vector<FolderEvent> events);
    void Wake();
    // On the host's thread: nothing more is delivered, also of what was posted already.
    void Close();

    // The most events a delivery gathers before they become one Overflow.
    static constexpr std::size_t kMostWaiting = 100'000;

private:
    struct Shared;
    void PostIfIdle();
    std::shared_ptr<Shared> shared_;
};

}  // namespace palomix
