// Folder events from inotify, read by a thread of their own that sleeps in poll() until the
// kernel has events, the wake-up time comes or the host changes something (an eventfd).
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/FolderEventMailbox.h"
#include "platform/FolderEvents.h"

namespace palomix {

namespace {

constexpr std::uint32_t kEntryEvents =
    IN_CREATE | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;
constexpr std::uint32_t kWatchMask = kEntryEvents | kSelfEvents | IN_ONLYDIR | IN_EXCL_UNLINK;

// An owned file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

int NewInotify() {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot watch folders (inotify)");
    }
    return fd;
}

int NewEventFd() {
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot watch folders (eventfd)");
    }
    return fd;
}

FolderEvent::Kind KindOf(std::uint32_t mask) {
    if ((mask & IN_CLOSE_WRITE) != 0) {
        return FolderEvent::Kind::Closed;
    }
    if ((mask & (IN_DELETE | IN_MOVED_FROM)) != 0) {
        return FolderEvent::Kind::Removed;
    }
    if ((mask & (IN_MOVED_TO | IN_ATTRIB)) != 0) {
        return FolderEvent::Kind::Arrived;
    }
    return FolderEvent::Kind::Written;  // IN_CREATE, IN_MODIFY
}

class InotifyFolderEvents final : public FolderEvents {
public:
    InotifyFolderEvents(PostToHost post, Deliver deliver)
        : inotify_(NewInotify()),
          wake_(NewEventFd()),
          mailbox_(std::move(post), std::move(deliver)),
          thread_([this] { Watch(); }) {}

    ~InotifyFolderEvents() override {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        Poke();
        thread_.join();
        mailbox_.Close();
    }

    std::error_code Add(const std::string& folder) override {
        const std::lock_guard lock(mutex_);
        if (watches_.contains(folder)) {
            return {};
        }
        const int watch = ::inotify_add_watch(inotify_.Get(), folder.c_str(), kWatchMask);
        if (watch < 0) {
            return std::error_code(errno, std::generic_category());
        }
        watches_[folder] = watch;
        folders_[watch].push_back(folder);
        return {};
    }

    void Remove(const std::string& folder) override {
        const std::lock_guard lock(mutex_);
        const auto found = watches_.find(folder);
        if (found == watches_.end()) {
            return;
        }
        const int watch = found->second;
        watches_.erase(found);
        std::vector<std::string>& names = folders_[watch];
        std::erase(names, folder);
        if (names.empty()) {
            folders_.erase(watch);
            ::inotify_rm_watch(inotify_.Get(), watch);
        }
    }

    void WakeAt(std::optional<Clock::time_point> when) override {
        {
            const std::lock_guard lock(mutex_);
            wakeAt_ = when;
        }
        Poke();
    }

    bool TellsWrites() const override { return true; }

private:
    void Poke() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_.Get(), &one, sizeof one);
    }

    // Milliseconds until the wake-up time, -1 for none; 0 when it has come (it is then used up).
    int Timeout(bool& wakeNow) {
        const std::lock_guard lock(mutex_);
        wakeNow = false;
        if (!wakeAt_) {
            return -1;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*wakeAt_ - Clock::now());
        if (left.count() <= 0) {
            wakeAt_.reset();
            wakeNow = true;
            return 0;
        }
        return static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX));
    }

    void Watch() {
        for (;;) {
            bool wakeNow = false;
            const int timeout = Timeout(wakeNow);
            if (wakeNow) {
                mailbox_.Wake();
                continue;
            }
            std::array<pollfd, 2> waits{pollfd{inotify_.Get(), POLLIN, 0},
                                        pollfd{wake_.Get(), POLLIN, 0}};
            if (::poll(waits.data(), waits.size(), timeout) < 0 && errno != EINTR) {
                return;
            }
            if ((waits[1].revents & POLLIN) != 0) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t got = ::read(wake_.Get(), &count, sizeof count);
                const std::lock_guard lock(mutex_);
                if (quit_) {
                    return;
                }
            }
            if ((waits[0].revents & POLLIN) != 0) {
                ReadEvents();
            }
        }
    }

    // Reads what the kernel has and hands it to the mailbox.
    void ReadEvents() {
        alignas(inotify_event) std::array<char, 64 * 1024> buffer{};
        std::vector<FolderEvent> events;
        for (;;) {
            const ssize_t got = ::read(inotify_.Get(), buffer.data(), buffer.size());
            if (got <= 0) {
                break;
            }
            const std::lock_guard lock(mutex_);
            for (ssize_t at = 0; at < got;) {
                inotify_event event{};
                std::memcpy(&event, buffer.data() + at, sizeof event);
                const char* name = buffer.data() + at + sizeof event;
                Translate(event, event.len > 0 ? std::string(name) : std::string(), events);
                at += static_cast<ssize_t>(sizeof event + event.len);
            }
        }
        mailbox_.Put(std::move(events));
    }

    // One kernel event as the watcher's events (under the lock).
    void Translate(const inotify_event& event, const std::string& name,
                   std::vector<FolderEvent>& events) {
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
            events.push_back(FolderEvent{FolderEvent::Kind::Overflow, {}, {}, false});
            return;
        }
        const auto found = folders_.find(event.wd);
        if (found == folders_.end()) {
            return;  // removed by the host meanwhile
        }
        if ((event.mask & (kSelfEvents | IN_IGNORED)) != 0) {
            // The folder is no longer the one its path names: told once, watched no more.
            for (const std::string& folder : found->second) {
                events.push_back(FolderEvent{FolderEvent::Kind::Gone, folder, {}, true});
                watches_.erase(folder);
            }
            ::inotify_rm_watch(inotify_.Get(), event.wd);
            folders_.erase(found);
            return;
        }
        if ((event.mask & kEntryEvents) == 0 || name.empty()) {
            return;
        }
        for (const std::string& folder : found->second) {
            events.push_back(
                FolderEvent{KindOf(event.mask), folder, name, (event.mask & IN_ISDIR) != 0});
        }
    }

    Descriptor inotify_;
    Descriptor wake_;
    FolderEventMailbox mailbox_;
    std::mutex mutex_;
    std::unordered_map<std::string, int> watches_;               // folder to watch descriptor
    std::unordered_map<int, std::vector<std::string>> folders_;  // and back
    std::optional<Clock::time_point> wakeAt_;
    bool quit_ = false;
    std::thread thread_;  // last: it starts once everything above is there
};

}  // namespace

std::unique_ptr<FolderEvents> SystemFolderEvents(PostToHost post, FolderEvents::Deliver deliver) {
    return std::make_unique<InotifyFolderEvents>(std::move(post), std::move(deliver));
}

}  // namespace palomix
