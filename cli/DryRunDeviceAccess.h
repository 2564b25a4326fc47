// Drive access for a dry run: the drives and folder tests of the real access, but no folder
// is ever created, so preparing the device placeholders leaves every drive as it was.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace palomix {

class DryRunDeviceAccess final : public DeviceAccess {
public:
    explicit DryRunDeviceAccess(std::unique_ptr<DeviceAccess> inner);

    std::vector<std::string> ListDrives() override;
    bool IsFolder(const std::string& path) override;
    // Creates nothing; reports success, since a real run would create the folder.
    bool CreateFolders(const std::string& path) override;

private:
    std::unique_ptr<DeviceAccess> inner_;
};

}  // namespace palomix
