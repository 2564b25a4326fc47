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
                       std::string_view fileName, DeviceAccess& devices, PathStyle style,
                       std::string* usedDrive) {
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
        if (usedDrive != nullptr) {
            *usedDrive = drive;
        }
        return true;
    }
    return false;
}

std::string FatSafeName(std::string_view name) {
    std::string safe;
    safe.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || byte == 0x7F ||
                             std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
        safe += refused ? '_' : c;
    }
    // At most 255 UTF-16 units: a UTF-8 sequence of 4 bytes is two units, the others one.
    std::size_t units = 0;
    std::size_t end = 0;
    while (end < safe.size()) {
        const auto lead = static_cast<unsigned char>(safe[end]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t cost = length == 4 ? 2 : 1;
        if (units + cost > 255 || end + length > safe.size()) {
            break;
        }
        units += cost;
        end += length;
    }
    safe.resize(end);
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) {
        safe.pop_back();
    }
    return safe.empty() ? std::string("_") : safe;
}

}  // namespace palomix
