#include "engine/DeviceOutput.h"

#include <exception>

namespace palomix {

namespace {

// "PSP/GAME" with the style's separator between the parts.
std::string InStyle(std::string_view relativeFolder, PathStyle style) {
    std::string folder(relativeFolder);
    for (char& c : folder) {
        if (c == '/') {
            c = JoinSeparator(style);
        }
    }
    return folder;
}

// The drive and a folder below its root. A drive that already ends in the separator (the
// POSIX root "/") does not get a second one.
std::string OnDrive(const std::string& drive, std::string_view relativeFolder, PathStyle style) {
    return JoinPath(drive, InStyle(relativeFolder, style), style);
}

// The marker test; a drive that cannot be read at all is no device.
bool HasFolder(DeviceAccess& devices, const std::string& path) {
    try {
        return devices.IsFolder(path);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

bool InsertDevicePaths(std::string& line, std::string_view placeholder,
                       std::string_view markerFolder, std::string_view mediaFolder,
                       std::string_view fileName, DeviceAccess& devices, PathStyle style) {
    if (placeholder.empty()) {
        return true;
    }
    const std::size_t at = line.find(placeholder);
    if (at == std::string::npos) {
        return true;
    }
    line.erase(at, placeholder.size());

    std::vector<std::string> drives;
    try {
        drives = devices.ListDrives();
    } catch (const std::exception&) {
        return false;  // no drive list: treated as no device attached
    }

    // The line has room for one path: the first matching drive in list order is used, and
    // only its media folder is created.
    for (const std::string& drive : drives) {
        if (!HasFolder(devices, OnDrive(drive, markerFolder, style))) {
            continue;
        }
        const std::string media = OnDrive(drive, mediaFolder, style);
        try {
            devices.CreateFolders(media);
        } catch (const std::exception&) {
            // A write-protected player still gets its path; the converter then fails there.
        }
        std::string path = media;
        path += JoinSeparator(style);
        path += fileName;
        line.insert(at, path);
        return true;
    }
    return false;
}

}  // namespace palomix
