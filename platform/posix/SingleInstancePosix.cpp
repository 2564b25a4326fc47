#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/SingleInstance.h"
#include "platform/posix/SingleInstancePosix.h"

namespace palomix {

namespace {

// A folder that only this user can write to: a real folder (not a link), owned by us, with
// no permission for group or others.
bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::getuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Creates the folder with mode 0700 unless it is there, then checks that it is private.
bool MakePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    return IsPrivateFolder(path);
}

// The home folder as the user database has it: the environment's HOME may differ between
// two processes of the same user.
std::optional<std::string> HomeFolder() {
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return std::string(entry->pw_dir);
    }
    return std::nullopt;
}

// The one place of this user's lock, whenever it is asked for: <temporary folder>/palomix-<uid>,
// made when missing (when the session's runtime folder appeared cannot change it); the home
// cache only when that name is taken by someone else or cannot be made.
std::optional<std::string> LockFolder(const std::string& temporaryFolder) {
    const std::string tmpFolder = temporaryFolder + "/palomix-" + std::to_string(::getuid());
    if (MakePrivateFolder(tmpFolder)) {
        return tmpFolder;
    }
    if (const std::optional<std::string> home = HomeFolder()) {
        const std::string cache = *home + "/.cache";
        if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) {
            return std::nullopt;
        }
        struct stat info {};
        if (::stat(cache.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::getuid()) {
            return std::nullopt;
        }
        const std::string folder = cache + "/palomix";
        if (MakePrivateFolder(folder)) {
            return folder;
        }
    }
    return std::nullopt;
}

}  // namespace

struct SingleInstanceLock::Handle {
    int fd = -1;
    int folder = -1;  // a shared lock on the folder, so that /tmp's ageing passes it over
    ~Handle() {
        for (const int held : {fd, folder}) {
            if (held >= 0) {
                ::close(held);  // releases the flock
            }
        }
    }
};

// The user's temporary folder, as every program of the session sees it from its start: TMPDIR
// when it names a folder from the root, else /tmp.
std::optional<std::string> SingleInstanceLockPlace(const std::string& name) {
    const char* temporary = std::getenv("TMPDIR");
    return SingleInstanceLockPlaceIn(
        temporary != nullptr && temporary[0] == '/' ? std::string(temporary) : "/tmp", name);
}

std::optional<std::string> SingleInstanceLockPlaceUnder(const std::string& root,
                                                        const std::string& name) {
    return SingleInstanceLockPlaceIn(root + "tmp", name);
}

std::optional<std::string> SingleInstanceLockPlaceIn(const std::string& temporaryFolder,
                                                     const std::string& name) {
    const std::optional<std::string> folder = LockFolder(temporaryFolder);
    if (!folder) {
        return std::nullopt;
    }
    return *folder + "/" + name + ".lock";
}

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
    const std::optional<std::string> place = SingleInstanceLockPlace(name);
    if (!place) {
        outcome_ = Outcome::Unavailable;
        return;
    }
    const std::string& path = *place;
    auto handle = std::make_unique<Handle>();
    // Close-on-exec, so that converters started later never inherit (and keep) the lock.
    handle->fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (handle->fd < 0) {
        outcome_ = Outcome::Unavailable;
        return;
    }
    int rc = 0;
    do {
        rc = ::flock(handle->fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        outcome_ = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
        return;
    }
    // systemd-tmpfiles skips a folder that someone holds a lock on: a window that runs for
    // weeks keeps its lock and its hand-over where a later start looks for them.
    const std::string folder = path.substr(0, path.rfind('/'));
    handle->folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (handle->folder >= 0) {
        ::flock(handle->folder, LOCK_SH | LOCK_NB);
    }
    handle_ = std::move(handle);
    outcome_ = Outcome::Held;
}

SingleInstanceLock::~SingleInstanceLock() = default;

}  // namespace palomix
