// Folder events from the change notifications of Windows (FindFirstChangeNotificationW), waited
// for by a thread of their own. A notification says only that something in a folder changed,
// so each becomes a FolderChanged event, and the watcher looks at the folder itself.
// One thread waits for at most 63 folders (the system's limit of one wait, less the wake-up);
// a folder beyond that is refused, and is then looked at by the watcher's rescans alone.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/FolderEventMailbox.h"
#include "platform/FolderEvents.h"
#include "platform/win32/WideText.h"

namespace palomix {

namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                           FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr std::size_t kMostFolders = MAXIMUM_WAIT_OBJECTS - 1;

class ChangeFolderEvents final : public FolderEvents {
public:
    ChangeFolderEvents(PostToHost post, Deliver deliver)
        : wake_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          mailbox_(std::move(post), std::move(deliver)) {
        if (wake_ == nullptr) {
            throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                    "cannot watch folders");
        }
        thread_ = std::thread([this] { Watch(); });
    }

    ~ChangeFolderEvents() override {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        ::SetEvent(wake_);
        thread_.join();
        mailbox_.Close();
        for (const Watched& watched : watched_) {
            ::FindCloseChangeNotification(watched.handle);
        }
        for (HANDLE handle : toClose_) {
            ::FindCloseChangeNotification(handle);
        }
        ::CloseHandle(wake_);
    }

    std::error_code Add(const std::string& folder) override {
        const std::lock_guard lock(mutex_);
        if (std::any_of(watched_.begin(), watched_.end(),
                        [&](const Watched& watched) { return watched.folder == folder; })) {
            return {};
        }
        if (watched_.size() >= kMostFolders) {
            return std::make_error_code(std::errc::too_many_files_open);
        }
        const HANDLE handle =
            ::FindFirstChangeNotificationW(win32::ToWide(folder).c_str(), FALSE, kChanges);
        if (handle == INVALID_HANDLE_VALUE) {
            return std::error_code(static_cast<int>(::GetLastError()), std::system_category());
        }
        watched_.push_back(Watched{folder, handle});
        ::SetEvent(wake_);
        return {};
    }

    void Remove(const std::string& folder) override {
        const std::lock_guard lock(mutex_);
        const auto found =
            std::find_if(watched_.begin(), watched_.end(),
                         [&](const Watched& watched) { return watched.folder == folder; });
        if (found == watched_.end()) {
            return;
        }
        // Closed by the thread once it no longer waits for it.
        toClose_.push_back(found->handle);
        watched_.erase(found);
        ::SetEvent(wake_);
    }

    void WakeAt(std::optional<Clock::time_point> when) override {
        {
            const std::lock_guard lock(mutex_);
            wakeAt_ = when;
        }
        ::SetEvent(wake_);
    }

    bool TellsWrites() const override { return false; }

private:
    struct Watched {
        std::string folder;
        HANDLE handle = nullptr;
    };

    // What to wait for now, and for how long; false to end the thread.
    bool Prepare(std::vector<Watched>& waiting, DWORD& timeout, bool& wakeNow) {
        const std::lock_guard lock(mutex_);
        for (HANDLE handle : toClose_) {
            ::FindCloseChangeNotification(handle);
        }
        toClose_.clear();
        if (quit_) {
            return false;
        }
        waiting = watched_;
        wakeNow = false;
        timeout = INFINITE;
        if (wakeAt_) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*wakeAt_ - Clock::now()).count();
            if (left <= 0) {
                wakeAt_.reset();
                wakeNow = true;
            } else {
                timeout = static_cast<DWORD>(std::min<long long>(left, INFINITE - 1));
            }
        }
        return true;
    }

    void Watch() {
        std::vector<Watched> waiting;
        std::vector<HANDLE> handles;
        for (;;) {
            DWORD timeout = INFINITE;
            bool wakeNow = false;
            if (!Prepare(waiting, timeout, wakeNow)) {
                return;
            }
            if (wakeNow) {
                mailbox_.Wake();
                continue;
            }
            handles.assign(1, wake_);
            for (const Watched& watched : waiting) {
                handles.push_back(watched.handle);
            }
            const DWORD got = ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()),
                                                       handles.data(), FALSE, timeout);
            if (got == WAIT_FAILED) {
                return;
            }
            if (got > WAIT_OBJECT_0 && got < WAIT_OBJECT_0 + handles.size()) {
                Changed(waiting[got - WAIT_OBJECT_0 - 1]);
            }
        }
    }

    void Changed(const Watched& watched) {
        std::vector<FolderEvent> events;
        events.push_back(FolderEvent{FolderEvent::Kind::FolderChanged, watched.folder, {}, false});
        if (!::FindNextChangeNotification(watched.handle)) {
            // The folder is gone: watched no more.
            events.push_back(FolderEvent{FolderEvent::Kind::Gone, watched.folder, {}, true});
            Remove(watched.folder);
        }
        mailbox_.Put(std::move(events));
    }

    HANDLE wake_;
    FolderEventMailbox mailbox_;
    std::mutex mutex_;
    std::vector<Watched> watched_;
    std::vector<HANDLE> toClose_;
    std::optional<Clock::time_point> wakeAt_;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<FolderEvents> SystemFolderEvents(PostToHost post, FolderEvents::Deliver deliver) {
    return std::make_unique<ChangeFolderEvents>(std::move(post), std::move(deliver));
}

}  // namespace palomix
