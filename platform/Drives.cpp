#include "platform/Drives.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

// Kernel, memory and control file systems: no player is ever mounted as one of these. tmpfs
// is among them: /run, /dev/shm and a memory /tmp are not devices. Overlay and FUSE mounts
// stay in the list (a container's root is an overlay; a player may be reached through FUSE).
constexpr std::string_view kPseudoFileSystems[] = {
    "autofs",     "binder",     "binfmt_misc", "bpf",      "cgroup",   "cgroup2", "configfs",
    "cpuset",     "debugfs",    "devpts",      "devtmpfs", "efivarfs", "fusectl", "fuse.portal",
    "hugetlbfs",  "mqueue",     "nfsd",        "nsfs",     "proc",     "pstore",  "ramfs",
    "rpc_pipefs", "securityfs", "selinuxfs",   "sunrpc",   "sysfs",    "tmpfs",   "tracefs",
};

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The mount table writes a blank, tab, newline and backslash inside a field as a backslash
// and three octal digits.
std::string Unescape(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            text += static_cast<char>(value & 0xFF);
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// The blank- or tab-separated fields of one line.
std::vector<std::string_view> FieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            fields.push_back(line.substr(start, i - start));
        }
    }
    return fields;
}

class FixedFolders final : public FileSystemDeviceAccess {
public:
    explicit FixedFolders(std::vector<std::string> folders) : folders_(std::move(folders)) {}

    std::vector<std::string> ListDrives() override { return folders_; }

private:
    const std::vector<std::string> folders_;
};

}  // namespace

bool FileSystemDeviceAccess::IsFolder(const std::string& path) {
    try {
        return palomix::IsFolder(path);
    } catch (const std::exception&) {
        return false;
    }
}

bool FileSystemDeviceAccess::CreateFolders(const std::string& path) {
    return CreateFolderTree(path);
}

std::error_code FileSystemDeviceAccess::MakeFolders(const std::string& path) {
    return MakeFolderTree(path);
}

std::error_code DeviceAccess::MakeNewFile(const std::string& path) {
    return CreateNewFile(path);
}

bool FileSystemDeviceAccess::IsFat(const std::string& drive) {
    return IsOnFatFileSystem(JoinPath(drive, ""));
}

std::unique_ptr<DeviceAccess> FolderDeviceAccess(std::vector<std::string> folders) {
    return std::make_unique<FixedFolders>(std::move(folders));
}

bool IsPseudoFileSystem(std::string_view type) {
    return std::find(std::begin(kPseudoFileSystems), std::end(kPseudoFileSystems), type) !=
           std::end(kPseudoFileSystems);
}

std::vector<std::string> DrivesFromMountTable(std::string_view mountTable) {
    std::vector<std::string> drives;
    std::size_t start = 0;
    while (start < mountTable.size()) {
        std::size_t end = mountTable.find('\n', start);
        if (end == std::string_view::npos) {
            end = mountTable.size();
        }
        const std::vector<std::string_view> fields =
            FieldsOf(mountTable.substr(start, end - start));
        start = end + 1;
        if (fields.size() < 3 || fields[0].front() == '#') {
            continue;  // a broken or comment line names no drive
        }
        std::string folder = Unescape(fields[1]);
        if (folder.empty() || folder.front() != '/' || IsPseudoFileSystem(fields[2])) {
            continue;
        }
        drives.push_back(std::move(folder));
    }
    std::sort(drives.begin(), drives.end());
    drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
    return drives;
}

}  // namespace palomix
