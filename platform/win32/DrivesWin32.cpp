#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace palomix {

namespace win32 {
namespace {

// Probing a drive without a medium (an empty card reader or CD drive) must not ask the user
// for a disk: critical-error dialogs are off for this thread while a drive is touched.
class NoDiskDialogs {
public:
    NoDiskDialogs() { ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
    ~NoDiskDialogs() { ::SetThreadErrorMode(previous_, nullptr); }
    NoDiskDialogs(const NoDiskDialogs&) = delete;
    NoDiskDialogs& operator=(const NoDiskDialogs&) = delete;

private:
    DWORD previous_ = 0;
};

// Drive letters A to Z that exist, of the types that can hold files: removable, fixed,
// remote, CD-ROM and RAM disk. Unknown types and letters without a root are left out.
class LetterDrives final : public FileSystemDeviceAccess {
public:
    bool IsFolder(const std::string& path) override {
        const NoDiskDialogs quiet;
        return FileSystemDeviceAccess::IsFolder(path);
    }

    bool CreateFolders(const std::string& path) override {
        const NoDiskDialogs quiet;
        return FileSystemDeviceAccess::CreateFolders(path);
    }

    std::vector<std::string> ListDrives() override {
        std::vector<std::string> drives;
        try {
            const NoDiskDialogs quiet;
            const DWORD present = ::GetLogicalDrives();
            for (int letter = 0; letter < 26; ++letter) {
                if ((present & (DWORD{1} << letter)) == 0) {
                    continue;
                }
                const wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', L'\0'};
                const UINT type = ::GetDriveTypeW(root);
                if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED || type == DRIVE_REMOTE ||
                    type == DRIVE_CDROM || type == DRIVE_RAMDISK) {
                    drives.push_back(std::string{static_cast<char>('A' + letter), ':'});
                }
            }
        } catch (const std::exception&) {
            // Whatever was found so far is the list.
        }
        return drives;
    }
};

}  // namespace
}  // namespace win32

std::unique_ptr<DeviceAccess> SystemDeviceAccess() {
    return std::make_unique<win32::LetterDrives>();
}

}  // namespace palomix
