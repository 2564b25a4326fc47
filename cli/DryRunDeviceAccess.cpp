#include "cli/DryRunDeviceAccess.h"

#include <utility>

namespace palomix {

DryRunDeviceAccess::DryRunDeviceAccess(std::unique_ptr<DeviceAccess> inner)
    : inner_(std::move(inner)) {}

std::vector<std::string> DryRunDeviceAccess::ListDrives() {
    return inner_->ListDrives();
}

bool DryRunDeviceAccess::IsFolder(const std::string& path) {
    return inner_->IsFolder(path);
}

bool DryRunDeviceAccess::CreateFolders(const std::string& /*path*/) {
    return true;
}

}  // namespace palomix
