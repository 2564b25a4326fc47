#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/AtomicFile.h"

namespace palomix {

namespace posix {
namespace {

// A file descriptor, closed when it goes out of scope unless Close() was called.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

    // Closes now and reports the result: a close can be the first to report a failed write.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// The temporary file of a write, removed when it goes out of scope unless it was renamed
// over its target.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

[[noreturn]] void Fail(int error, const std::string& path, const std::string& step) {
    throw FileError(std::error_code(error, std::generic_category()), path, step);
}

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

FileStamp StampFromStat(const struct stat& status) {
    FileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(status.st_size);
    stamp.modifiedNs = Nanoseconds(status.st_mtim);
    stamp.changedNs = Nanoseconds(status.st_ctim);
    stamp.device = static_cast<std::uint64_t>(status.st_dev);
    stamp.fileId = static_cast<std::uint64_t>(status.st_ino);
    return stamp;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file that a write to path changes: path itself, or, when path is a symbolic link,
// the file at the end of its chain of links (which need not exist yet). Replacing the link
// itself would turn it into a plain file and leave the file it names behind.
std::string WriteTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return current;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
            return current;
        }
        link.resize(static_cast<std::size_t>(n));
        current = link.starts_with('/') ? link : FolderOf(current) + "/" + link;
    }
    return current;  // a loop of links: the rename below reports it
}

std::string RandomSuffix(std::random_device& random) {
    char text[17];
    const auto value = (static_cast<std::uint64_t>(random()) << 32) ^ random();
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The temporary files of writes to a file are ".<name>.tmp-" and 16 hexadecimal digits.
// While its write goes on, a temporary file is held under an flock by its writer; a writer
// that was killed leaves it behind unlocked.
std::string TemporaryPrefix(const std::string& targetName) {
    return "." + targetName + ".tmp-";
}

bool IsTemporaryName(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() != prefix.size() + 16) {
        return false;
    }
    for (const char c : name.substr(prefix.size())) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporary file at path when it is ours and its writer is gone: a regular file
// of this user that nobody holds locked. A live writer holds the lock from the moment it has
// made sure its file is still there (see WriteFileAtomically), so its file is never taken.
void RemoveIfStale(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    const FileDescriptor file(fd);
    struct stat opened {};
    if (!file.IsOpen() || ::fstat(file.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_uid != ::geteuid()) {
        return;
    }
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        return;  // its writer is at work (or locks do not work here: leave it)
    }
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && SameFile(named, opened)) {
        ::unlink(path.c_str());
    }
}

// Best effort, before a write: the stale temporary files of earlier writes to the same file
// (a writer killed half-way leaves its file behind) are removed, so they neither pile up nor
// take the room the new write needs.
void RemoveStaleTemporaryFiles(const std::string& folder, const std::string& targetName) {
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (!directory) {
        return;
    }
    const std::string prefix = TemporaryPrefix(targetName);
    while (const dirent* entry = ::readdir(directory.get())) {
        if (IsTemporaryName(entry->d_name, prefix)) {
            RemoveIfStale(folder + "/" + entry->d_name);
        }
    }
}

// Locks a freshly created temporary file for the time of its write, and makes sure it is
// still the file at its name: a cleaner that came between the creation and the lock may have
// taken it for stale. False when it was taken (the write then starts over with a new name).
// Where the file system has no locks the file is written all the same.
bool LockTemporaryFile(int fd, const std::string& path) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno != EWOULDBLOCK;
    }
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           SameFile(opened, named);
}

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno, path, "cannot write the temporary file");
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace
}  // namespace posix

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return posix::StampFromStat(status);
}

std::optional<FileSnapshot> ReadFileSnapshot(const std::string& path) {
    // Not blocking on open: a FIFO at the path must not hang the reader.
    posix::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsOpen()) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        posix::Fail(errno, path, "cannot open it for reading");
    }
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0) {
        posix::Fail(errno, path, "cannot examine it");
    }
    if (S_ISDIR(status.st_mode)) {
        posix::Fail(EISDIR, path, "cannot read it");
    }
    if (!S_ISREG(status.st_mode)) {
        posix::Fail(EINVAL, path, "cannot read it, it is not a regular file");
    }
    FileSnapshot snapshot;
    snapshot.stamp = posix::StampFromStat(status);
    // One byte more than the size, so that a file that did not grow is read in one call
    // that is followed by the end-of-file read.
    std::string& bytes = snapshot.bytes;
    bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n = ::read(fd.Get(), bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            posix::Fail(errno, path, "cannot read it");
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return snapshot;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        posix::Fail(ENOENT, path, "cannot write a file without a name");
    }
    const std::string target = posix::WriteTarget(path);
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) {
        posix::Fail(EISDIR, path, "cannot replace a folder");
    }
    const std::string folder = posix::FolderOf(target);
    const std::string targetName = posix::NameOf(target);
    posix::RemoveStaleTemporaryFiles(folder, targetName);

    // A name of our own in the same folder (a rename only stays atomic within one file
    // system), created exclusively so that no other file is ever opened by mistake. A new
    // file gets the usual permissions less the umask; a replaced one its old bits below.
    // The lock on it is held through a second descriptor until the rename is done.
    std::random_device random;
    std::optional<posix::TemporaryFile> temporary;
    std::optional<posix::FileDescriptor> lock;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        std::string name =
            folder + "/" + posix::TemporaryPrefix(targetName) + posix::RandomSuffix(random);
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
        if (fd < 0) {
            if (errno != EEXIST || attempt == 100) {
                posix::Fail(errno, path, "cannot create a temporary file in its folder");
            }
        } else if (!posix::LockTemporaryFile(fd, name)) {
            ::close(fd);  // taken away by a cleaner: another name
            fd = -1;
            if (attempt == 100) {
                posix::Fail(EAGAIN, path, "cannot keep a temporary file in its folder");
            }
        } else {
            temporary.emplace(std::move(name));
            lock.emplace(::dup(fd));
        }
    }
    posix::FileDescriptor file(fd);
    posix::WriteAll(file.Get(), bytes, path);
    if (replacing) {
        // Best effort: only the owner (or root) may change these, and a file that could be
        // replaced but not re-owned is still better written than not.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(file.Get(), old.st_uid, old.st_gid);
        }
        if (::fchmod(file.Get(), old.st_mode & 07777) != 0) {
            posix::Fail(errno, path, "cannot give the temporary file the file's permissions");
        }
    }
    if (::fsync(file.Get()) != 0) {
        posix::Fail(errno, path, "cannot flush the temporary file to the disk");
    }
    if (!file.Close()) {
        posix::Fail(errno, path, "cannot close the temporary file");
    }
    if (::rename(temporary->Path().c_str(), target.c_str()) != 0) {
        posix::Fail(errno, path, "cannot rename the temporary file over it");
    }
    temporary->Keep();
    // Make the rename itself durable. The new file is already in place, so a failure here
    // is not reported.
    const posix::FileDescriptor directory(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.IsOpen()) {
        ::fsync(directory.Get());
    }
}

}  // namespace palomix
