#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/Drives.h"

namespace palomix {

namespace posix {
namespace {

// The folder operations on the real file system; errors become false, never exceptions.
class RealFolders : public DeviceAccess {
public:
    bool IsFolder(const std::string& path) override {
        try {
            std::error_code error;
            return std::filesystem::is_directory(path, error);
        } catch (const std::exception&) {
            return false;
        }
    }

    bool CreateFolders(const std::string& path) override {
        try {
            std::error_code error;
            std::filesystem::create_directories(path, error);
            return std::filesystem::is_directory(path, error);
        } catch (const std::exception&) {
            return false;
        }
    }
};

// The whole text of a mount table file, or "" when it cannot be read.
std::string ReadMountTable(const char* file) {
    try {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            return {};
        }
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return {};
    }
}

// Every mounted file system of this process's view, read anew at each call.
class MountedDrives final : public RealFolders {
public:
    std::vector<std::string> ListDrives() override {
        try {
            std::string table = ReadMountTable("/proc/self/mounts");
            if (table.empty()) {
                table = ReadMountTable("/etc/mtab");
            }
            return DrivesFromMountTable(table);
        } catch (const std::exception&) {
            return {};
        }
    }
};

class FixedFolders final : public RealFolders {
public:
    explicit FixedFolders(std::vector<std::string> folders) : folders_(std::move(folders)) {}

    std::vector<std::string> ListDrives() override { return folders_; }

private:
    const std::vector<std::string> folders_;
};

}  // namespace
}  // namespace posix

std::unique_ptr<DeviceAccess> SystemDeviceAccess() {
    return std::make_unique<posix::MountedDrives>();
}

std::unique_ptr<DeviceAccess> FolderDeviceAccess(std::vector<std::string> folders) {
    return std::make_unique<posix::FixedFolders>(std::move(folders));
}

}  // namespace palomix
