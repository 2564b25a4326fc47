#include "platform/FolderEventMailbox.h"

#include <iterator>
#include <mutex>
#include <utility>

namespace palomix {

struct FolderEventMailbox::Shared {
    PostToHost post;
    FolderEvents::Deliver deliver;
    std::mutex mutex;
    std::vector<FolderEvent> waiting;
    bool posted = false;    // a delivery is on its way to the host
    bool overflow = false;  // `waiting` holds an Overflow: more events add nothing
    bool closed = false;

    // On the host's thread.
    void DeliverWaiting() {
        std::vector<FolderEvent> events;
        {
            const std::lock_guard lock(mutex);
            if (closed) {
                return;
            }
            events.swap(waiting);
            posted = false;
            overflow = false;
        }
        deliver(std::move(events));
    }
};

FolderEventMailbox::FolderEventMailbox(PostToHost post, FolderEvents::Deliver deliver)
    : shared_(std::make_shared<Shared>()) {
    shared_->post = std::move(post);
    shared_->deliver = std::move(deliver);
}

FolderEventMailbox::~FolderEventMailbox() {
    Close();
}

void FolderEventMailbox::Put(std::vector<FolderEvent> events) {
    if (events.empty()) {
        return;
    }
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->overflow) {
            return;
        }
        if (shared_->waiting.size() + events.size() > kMostWaiting) {
            shared_->waiting.assign(1, FolderEvent{FolderEvent::Kind::Overflow, {}, {}, false});
            shared_->overflow = true;
        } else {
            shared_->waiting.insert(shared_->waiting.end(), std::make_move_iterator(events.begin()),
                                    std::make_move_iterator(events.end()));
        }
    }
    PostIfIdle();
}

void FolderEventMailbox::Wake() {
    PostIfIdle();
}

void FolderEventMailbox::PostIfIdle() {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->posted || shared_->closed) {
            return;
        }
        shared_->posted = true;
    }
    shared_->post([shared = shared_] { shared->DeliverWaiting(); });
}

void FolderEventMailbox::Close() {
    const std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    shared_->waiting.clear();
}

}  // namespace palomix
