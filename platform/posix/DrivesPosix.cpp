#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace palomix {

namespace posix {
namespace {

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
class MountedDrives final : public FileSystemDeviceAccess {
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

}  // namespace
}  // namespace posix

std::unique_ptr<DeviceAccess> SystemDeviceAccess() {
    return std::make_unique<posix::MountedDrives>();
}

}  // namespace palomix
