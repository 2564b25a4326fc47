// File-system services on POSIX. Folders are read with getdents64 on Linux (readdir
// elsewhere) into one reusable name buffer and sorted by name ignoring ASCII case; entry
// data is fetched with statx only when asked for, relative to the open folder when the
// entry belongs to the last folder listed, by its full path otherwise.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// An owned file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// Letters compare as upper case, as NTFS orders names, so '_' sorts after the letters.
char FoldAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A folder opened for listing. A path longer than the system's limit is opened part by part,
// each part relative to the folder before it.
int OpenFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != ENAMETOOLONG || path.empty() || path.front() != '/') {
        return fd;
    }
    UniqueFd current(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::size_t start = 1;
    while (current.Get() >= 0 && start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            const std::string part = path.substr(start, end - start);
            current.Reset(
                ::openat(current.Get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
        start = end + 1;
    }
    const int opened = current.Get();
    if (opened >= 0) {
        current.Release();
    }
    return opened;
}

bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// A time stamp as a local DateTime under DOS date-time rules.
void ConvertTime(std::int64_t seconds, bool& has, DateTime& value) {
    has = false;
    value = 0;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr) {
        return;
    }
    const std::optional<DateTime> converted =
        DosDateTimeOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, std::min(local.tm_sec, 59));
    if (converted) {
        has = true;
        value = *converted;
    }
}

// The status of `name` relative to `dirFd` in the fields of an entry. A symbolic link is
// described by its target; a link whose target is missing by the link itself. False when
// neither can be read.
bool FillFromStatus(int dirFd, const char* name, FileEntryInfo& info) {
    std::int64_t size = 0;
    std::int64_t created = 0;
    std::int64_t written = 0;
    std::int64_t accessed = 0;
    mode_t mode = 0;
#if defined(__linux__) && defined(STATX_BTIME)
    struct statx sx {};
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME |
                          STATX_CTIME | STATX_BTIME;
    if (::statx(dirFd, name, AT_NO_AUTOMOUNT, mask, &sx) != 0 &&
        ::statx(dirFd, name, AT_NO_AUTOMOUNT | AT_SYMLINK_NOFOLLOW, mask, &sx) != 0) {
        return false;
    }
    mode = sx.stx_mode;
    size = static_cast<std::int64_t>(sx.stx_size);
    created = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime.tv_sec : sx.stx_ctime.tv_sec;
    written = sx.stx_mtime.tv_sec;
    accessed = sx.stx_atime.tv_sec;
#else
    struct stat st {};
    if (::fstatat(dirFd, name, &st, 0) != 0 &&
        ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return false;
    }
    mode = st.st_mode;
    size = static_cast<std::int64_t>(st.st_size);
    created = st.st_ctime;
    written = st.st_mtime;
    accessed = st.st_atime;
#endif
    info.IsDirectory = S_ISDIR(mode);
    info.Size = info.IsDirectory ? 0 : size;
    info.IsReadOnly = (mode & S_IWUSR) == 0;
    info.IsHidden = info.FileName.starts_with('.');
    info.IsSystem = false;
    info.IsArchive = false;
    ConvertTime(created, info.HasCreationTime, info.CreationTime);
    ConvertTime(written, info.HasLastWriteTime, info.LastWriteTime);
    ConvertTime(accessed, info.HasLastAccessTime, info.LastAccessTime);
    return true;
}

}  // namespace

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::error_code MakeFolderTree(const std::string& path) {
    if (path.empty()) {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (IsFolder(path)) {
        return {};
    }
    // Every prefix that ends before a separator, then the path itself. A parent may exist
    // without our being allowed to create it, so a failure counts only when it is not that the
    // folder exists; the first real failure is the reason, the ones below follow from it.
    std::error_code first;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if ((i < path.size() && path[i] != '/') || path[i - 1] == '/') {
            continue;
        }
        if (::mkdir(path.substr(0, i).c_str(), 0777) != 0 && errno != EEXIST && !first) {
            first = std::error_code(errno, std::generic_category());
        }
    }
    if (IsFolder(path)) {
        return {};
    }
    return first ? first : std::make_error_code(std::errc::not_a_directory);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return !a.empty() && !b.empty() && ::stat(a.c_str(), &first) == 0 &&
           ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::error_code RenameOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}

std::error_code CreateNewFile(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        return {errno, std::generic_category()};
    }
    ::close(fd);
    return {};
}

std::optional<std::string> FileIdentityOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::error_code RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return {errno, std::generic_category()};
    }
    return {};
}

std::error_code CopyModificationTime(const std::string& from, const std::string& to) {
    struct stat source {};
    if (::stat(from.c_str(), &source) != 0) {
        return {errno, std::generic_category()};
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    if (::utimensat(AT_FDCWD, to.c_str(), times, 0) != 0) {
        return {errno, std::generic_category()};
    }
    return {};
}

bool IsOnFatFileSystem(const std::string& path) {
    struct statfs info {};
    constexpr decltype(info.f_type) kMsdosMagic = 0x4d44;
    return ::statfs(path.c_str(), &info) == 0 && info.f_type == kMsdosMagic;
}

std::optional<std::int64_t> FileSizeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(st.st_size);
}

bool FolderAcceptsNewFiles(const std::string& folder) {
    if (!IsFolder(folder)) {
        return false;
    }
    std::random_device random;
    // A name that is taken already is no answer: try another one.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::string probe =
            JoinPath(folder, ".palomix-write-probe-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(random()));
        const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

std::string FullPathOf(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::string absolute;
    if (path.front() == '/') {
        absolute = path;
    } else {
        std::vector<char> buffer(4096);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE) {
                return path;
            }
            buffer.resize(buffer.size() * 2);
        }
        absolute = JoinPath(buffer.data(), path, PathStyle::Posix);
    }
    const bool trailing = absolute.size() > 1 && absolute.back() == '/';

    std::vector<std::string_view> parts;
    std::string_view rest = absolute;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(part);
    }
    std::string full;
    for (const std::string_view part : parts) {
        full += '/';
        full += part;
    }
    if (full.empty()) {
        return "/";
    }
    if (trailing) {
        full += '/';
    }
    return full;
}

std::optional<FileEntryInfo> LookUpEntry(const std::string& path) {
    if (path.empty() || path.back() == '/') {
        return std::nullopt;
    }
    FileEntryInfo info;
    info.FileName = std::string(FileNameOf(path, PathStyle::Posix));
    info.AlternateName = info.FileName;
    if (!FillFromStatus(AT_FDCWD, path.c_str(), info)) {
        return std::nullopt;
    }
    return info;
}

// --- FolderListing ---------------------------------------------------------------------

struct FolderListing::Impl {
    struct Entry {
        std::uint32_t offset;  // into names, NUL-terminated there
        std::uint32_t length;
        std::uint32_t folder;  // index into folders
        unsigned char type;    // d_type; DT_UNKNOWN resolved on demand
    };

    std::vector<std::string> folders;  // every folder listed, in order
    UniqueFd lastFolder;               // the last folder listed, kept open for fstatat
    std::vector<char> names;
    std::vector<Entry> entries;
    std::vector<char> readBuffer;
    std::vector<char> folded;  // scratch: the names being sorted, ASCII case folded
    int lastError = 0;

    void Add(const char* name, unsigned char type) {
        if (IsDotOrDotDot(name)) {
            return;
        }
        const std::size_t length = std::strlen(name);
        entries.push_back(Entry{static_cast<std::uint32_t>(names.size()),
                                static_cast<std::uint32_t>(length),
                                static_cast<std::uint32_t>(folders.size() - 1), type});
        names.insert(names.end(), name, name + length + 1);
    }

    bool ReadFolder(int fd);
    void SortFrom(std::size_t first);

    const char* NameAt(std::size_t index) const { return names.data() + entries[index].offset; }

    // Calls f(dirFd, name) with the entry's folder open, or with its full path.
    template <typename F>
    auto AtEntry(std::size_t index, F&& f) const {
        const Entry& entry = entries[index];
        if (entry.folder + 1 == folders.size() && lastFolder.Get() >= 0) {
            return f(lastFolder.Get(), NameAt(index));
        }
        const std::string path = JoinPath(
            folders[entry.folder], std::string_view(NameAt(index), entry.length), PathStyle::Posix);
        return f(AT_FDCWD, path.c_str());
    }
};

bool FolderListing::Impl::ReadFolder(int fd) {
#if defined(__linux__)
    if (readBuffer.empty()) {
        readBuffer.resize(64 * 1024);
    }
    for (;;) {
        const ssize_t n = ::getdents64(fd, readBuffer.data(), readBuffer.size());
        if (n <= 0) {
            return true;  // the end, or an error: what was read so far stands
        }
        for (ssize_t pos = 0; pos < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(readBuffer.data() + pos);
            Add(entry->d_name, entry->d_type);
            pos += entry->d_reclen;
        }
    }
#else
    // readdir needs a DIR of its own; it gets a duplicate so the listing keeps its fd.
    const int dupFd = ::dup(fd);
    if (dupFd < 0) {
        return false;
    }
    DIR* dir = ::fdopendir(dupFd);
    if (dir == nullptr) {
        ::close(dupFd);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        Add(entry->d_name, entry->d_type);
    }
    ::closedir(dir);
    return true;
#endif
}

// Sorts the entries from `first` on (one folder's, whose names end the name buffer) by name
// ignoring ASCII case; names equal but for case by their bytes, so the order never depends
// on the directory's own order.
void FolderListing::Impl::SortFrom(std::size_t first) {
    if (entries.size() - first < 2) {
        return;
    }
    const std::size_t base = entries[first].offset;
    folded.assign(names.begin() + static_cast<std::ptrdiff_t>(base), names.end());
    for (char& c : folded) {
        c = FoldAscii(c);
    }
    const char* foldedBase = folded.data();
    const char* rawBase = names.data() + base;
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(first), entries.end(),
              [=](const Entry& a, const Entry& b) {
                  const std::size_t n = std::min(a.length, b.length);
                  int order = std::memcmp(foldedBase + (a.offset - base),
                                          foldedBase + (b.offset - base), n);
                  if (order != 0) {
                      return order < 0;
                  }
                  if (a.length != b.length) {
                      return a.length < b.length;
                  }
                  order = std::memcmp(rawBase + (a.offset - base), rawBase + (b.offset - base), n);
                  return order < 0;
              });
}

FolderListing::FolderListing() : impl_(std::make_unique<Impl>()) {}

FolderListing::~FolderListing() = default;

void FolderListing::Clear() {
    Impl& impl = *impl_;
    impl.lastFolder.Reset();
    impl.folders.clear();
    impl.names.clear();
    impl.entries.clear();
    // Small buffers are kept for the next listing; the large ones a whole tree needed are
    // given back.
    constexpr std::size_t kKeepBytes = 256 * 1024;
    if (impl.names.capacity() > kKeepBytes) {
        std::vector<char>().swap(impl.names);
    }
    if (impl.entries.capacity() * sizeof(Impl::Entry) > kKeepBytes) {
        std::vector<Impl::Entry>().swap(impl.entries);
    }
    if (impl.folders.capacity() > 1024) {
        std::vector<std::string>().swap(impl.folders);
    }
}

bool FolderListing::Read(const std::string& folder) {
    Clear();
    return Append(folder);
}

bool FolderListing::Append(const std::string& folder) {
    Impl& impl = *impl_;
    impl.lastFolder.Reset();
    impl.lastError = 0;
    const int fd = OpenFolder(folder);
    if (fd < 0) {
        impl.lastError = errno;
        return false;
    }
    impl.lastFolder.Reset(fd);
    impl.folders.push_back(folder);
    const std::size_t first = impl.entries.size();
    const std::size_t firstName = impl.names.size();
    if (!impl.ReadFolder(fd)) {
        impl.lastError = errno;
        impl.entries.resize(first);
        impl.names.resize(firstName);
        impl.folders.pop_back();
        impl.lastFolder.Reset();
        return false;
    }
    impl.SortFrom(first);
    return true;
}

std::size_t FolderListing::Count() const {
    return impl_->entries.size();
}

int FolderListing::LastError() const {
    return impl_->lastError;
}

std::size_t LongestOpenablePath() {
    return PATH_MAX - 1;
}

std::string_view FolderListing::Name(std::size_t index) const {
    const Impl::Entry& entry = impl_->entries[index];
    return {impl_->names.data() + entry.offset, entry.length};
}

bool FolderListing::IsPlainFile(std::size_t index) const {
    IsWalkableFolder(index);  // resolves an unknown type
    return impl_->entries[index].type == DT_REG;
}

bool FolderListing::IsWalkableFolder(std::size_t index) const {
    Impl::Entry& entry = impl_->entries[index];
    if (entry.type == DT_UNKNOWN) {
        // File systems without d_type: look at the entry itself, not through a link.
        struct stat st {};
        const bool found = impl_->AtEntry(index, [&st](int dirFd, const char* name) {
            return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        });
        if (!found) {
            return false;
        }
        entry.type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
    }
    return entry.type == DT_DIR;
}

void FolderListing::ReadInfo(std::size_t index, FileEntryInfo& info) const {
    info = FileEntryInfo{};
    info.FileName.assign(Name(index));
    info.AlternateName = info.FileName;
    const bool found = impl_->AtEntry(
        index, [&info](int dirFd, const char* name) { return FillFromStatus(dirFd, name, info); });
    if (!found) {
        info.IsHidden = info.FileName.starts_with('.');
    }
}

}  // namespace palomix
