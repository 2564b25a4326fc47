#include <windows.h>

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/Drives.h"
#include "platform/win32/WideText.h"

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

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsFolderWide(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder operations on the real file system; errors become false, never exceptions.
class RealFolders : public DeviceAccess {
public:
    bool IsFolder(const std::string& path) override {
        try {
            const NoDiskDialogs quiet;
            return IsFolderWide(ToWide(path));
        } catch (const std::exception&) {
            return false;
        }
    }

    bool CreateFolders(const std::string& path) override {
        try {
            const NoDiskDialogs quiet;
            std::wstring wide = ToWide(path);
            while (wide.size() > 1 && IsSeparator(wide.back())) {
                wide.pop_back();
            }
            if (wide.empty() || IsFolderWide(wide)) {
                return !wide.empty();
            }
            // Every folder on the way, parents first. Prefixes that cannot be created (a
            // drive "E:", a server "\\host", a folder that exists) just fail and are passed.
            for (std::size_t i = 1; i < wide.size(); ++i) {
                if (IsSeparator(wide[i]) && !IsSeparator(wide[i - 1])) {
                    ::CreateDirectoryW(wide.substr(0, i).c_str(), nullptr);
                }
            }
            ::CreateDirectoryW(wide.c_str(), nullptr);
            return IsFolderWide(wide);
        } catch (const std::exception&) {
            return false;
        }
    }
};

// Drive letters A to Z that exist, of the types that can hold files: removable, fixed,
// remote, CD-ROM and RAM disk. Unknown types and letters without a root are left out.
class LetterDrives final : public RealFolders {
public:
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

class FixedFolders final : public RealFolders {
public:
    explicit FixedFolders(std::vector<std::string> folders) : folders_(std::move(folders)) {}

    std::vector<std::string> ListDrives() override { return folders_; }

private:
    const std::vector<std::string> folders_;
};

}  // namespace
}  // namespace win32

std::unique_ptr<DeviceAccess> SystemDeviceAccess() {
    return std::make_unique<win32::LetterDrives>();
}

std::unique_ptr<DeviceAccess> FolderDeviceAccess(std::vector<std::string> folders) {
    return std::make_unique<win32::FixedFolders>(std::move(folders));
}

}  // namespace palomix
