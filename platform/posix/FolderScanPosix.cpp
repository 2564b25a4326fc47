#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/FolderScan.h"

namespace palomix {

namespace {

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

std::error_code LastError() {
    return std::error_code(errno, std::generic_category());
}

FolderEntry::Kind KindOf(const struct stat& status) {
    if (S_ISREG(status.st_mode)) {
        return FolderEntry::Kind::File;
    }
    return S_ISDIR(status.st_mode) ? FolderEntry::Kind::Folder : FolderEntry::Kind::Other;
}

}  // namespace

std::error_code ScanFolder(const std::string& folder,
                           const std::function<void(const FolderEntry& entry)>& visit) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return LastError();
    }
    const std::unique_ptr<DIR, DirectoryCloser> directory(::fdopendir(descriptor));
    if (!directory) {
        const std::error_code error = LastError();
        ::close(descriptor);
        return error;
    }
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(directory.get());
        if (item == nullptr) {
            return errno == 0 ? std::error_code() : LastError();
        }
        if (std::strcmp(item->d_name, ".") == 0 || std::strcmp(item->d_name, "..") == 0) {
            continue;
        }
        struct stat status {};
        // The entry itself first: a link to a folder is never walked into.
        if (::fstatat(descriptor, item->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // gone since it was listed
        }
        if (S_ISLNK(status.st_mode) &&
            (::fstatat(descriptor, item->d_name, &status, 0) != 0 || S_ISDIR(status.st_mode))) {
            FolderEntry entry;
            entry.name = item->d_name;
            visit(entry);
            continue;
        }
        FolderEntry entry;
        entry.name = item->d_name;
        entry.kind = KindOf(status);
        entry.size = static_cast<std::int64_t>(status.st_size);
        entry.modifiedNs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                           status.st_mtim.tv_nsec;
        visit(entry);
    }
}

}  // namespace palomix
