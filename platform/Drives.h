// The drives that output can go to when a portable player is attached, and the two folder
// operations that device output needs on them. Device output reaches the outside world only
// through DeviceAccess, so tests can hand it temporary folders as drives and count what it
// touches.
//
// A drive is the text that stands in front of a folder on it: "E:" on Windows (drive letter
// and colon, no separator), the mount folder on POSIX ("/", "/media/user/PSP").
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace palomix {

class DeviceAccess {
public:
    virtual ~DeviceAccess() = default;

    // The drives present now, in the order they are looked through. Built anew at each call;
    // an error gives an empty or shorter list, never an exception.
    virtual std::vector<std::string> ListDrives() = 0;

    // True when the path exists and is a folder (not a file). Any error gives false.
    virtual bool IsFolder(const std::string& path) = 0;

    // Creates the folder with every missing parent; an existing folder is left alone.
    // True when the folder exists afterwards. Never throws.
    virtual bool CreateFolders(const std::string& path) = 0;

    // The same, saying why a folder could not be made (see MakeFolderTree).
    virtual std::error_code MakeFolders(const std::string& path) {
        return CreateFolders(path) ? std::error_code{} : std::make_error_code(std::errc::io_error);
    }

    // True when the drive's file system is FAT, which holds no file of 4 GiB or more.
    virtual bool IsFat(const std::string& /*drive*/) { return false; }

    // Makes the file an output is written under while its job runs: new and empty, never over
    // anything that stands at the name, never through a link planted there (CreateNewFile).
    virtual std::error_code MakeNewFile(const std::string& path);
};

// The folder operations on the real file system (a failure is false, never an exception);
// subclasses say which drives there are.
class FileSystemDeviceAccess : public DeviceAccess {
public:
    bool IsFolder(const std::string& path) override;
    bool CreateFolders(const std::string& path) override;
    std::error_code MakeFolders(const std::string& path) override;
    bool IsFat(const std::string& drive) override;
};

// The system's drives. Windows: the drive letters A to Z that exist and are removable, fixed,
// remote, CD-ROM or RAM disk drives, as "E:". POSIX: the mount folders of every mounted file
// system except pseudo and memory file systems, sorted by path.
std::unique_ptr<DeviceAccess> SystemDeviceAccess();

// A fixed list of folders that stand for the drives, in the order given, with the real file
// system behind the folder operations. Used by tests and by palomix-batch --drive.
std::unique_ptr<DeviceAccess> FolderDeviceAccess(std::vector<std::string> folders);

// The POSIX drive list from the text of a mount table (the format of /proc/self/mounts: device,
// mount folder, type, options, two numbers; blanks, tabs, newlines and backslashes in the mount
// folder written as \040, \011, \012 and \134). Pseudo and memory file systems (proc, sysfs,
// devpts, devtmpfs, tmpfs, cgroup and the like) are left out; the rest is sorted by path
// (byte order) without duplicates. Pure text work, so it is tested on every platform.
std::vector<std::string> DrivesFromMountTable(std::string_view mountTable);

// True for the file system types that never hold a player's files.
bool IsPseudoFileSystem(std::string_view type);

}  // namespace palomix
