// Drives for the engine tests: an in-memory set of folders that counts every access, and a
// temporary folder on disk that stands in for the drives of attached players.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Drives.h"

namespace palomix::testing {

// Drives and folders held as texts, so Windows paths ("E:\PSP\GAME") work on any system.
class FakeDevices : public DeviceAccess {
public:
    std::vector<std::string> drives;
    std::set<std::string> folders;
    std::set<std::string> unreadable;  // IsFolder throws for paths on these drives
    std::set<std::string> fatDrives;   // drives whose file system is FAT
    bool listThrows = false;
    bool createFails = false;
    std::set<std::string> files;  // made by MakeNewFile in made-up folders

    int listCalls = 0;
    int folderTests = 0;
    std::vector<std::string> created;

    int Accesses() const { return listCalls + folderTests + static_cast<int>(created.size()); }

    std::vector<std::string> ListDrives() override {
        ++listCalls;
        if (listThrows) {
            throw std::runtime_error("no drive list");
        }
        return drives;
    }

    bool IsFolder(const std::string& path) override {
        ++folderTests;
        for (const std::string& drive : unreadable) {
            if (path.rfind(drive, 0) == 0) {
                throw std::runtime_error("drive cannot be read");
            }
        }
        return folders.count(path) > 0;
    }

    bool IsFat(const std::string& drive) override { return fatDrives.count(drive) > 0; }

    bool CreateFolders(const std::string& path) override {
        created.push_back(path);
        if (createFails) {
            return false;
        }
        folders.insert(path);
        return true;
    }

    // A file in a folder that exists on disk is made there; one in a made-up folder is noted.
    std::error_code MakeNewFile(const std::string& path) override {
        const std::filesystem::path file(std::u8string(path.begin(), path.end()));
        if (std::filesystem::is_directory(file.parent_path())) {
            return DeviceAccess::MakeNewFile(path);
        }
        return files.insert(path).second ? std::error_code{}
                                         : std::make_error_code(std::errc::file_exists);
    }
};

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("palomix-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // A subfolder created now, as a UTF-8 path.
    std::string MakeFolder(const std::string& relative) const {
        const std::filesystem::path folder = path_ / FromText(relative);
        std::filesystem::create_directories(folder);
        return Text(folder);
    }

    void MakeFile(const std::string& relative) const {
        std::ofstream(path_ / FromText(relative)) << "x";
    }

    std::string Path(const std::string& relative) const { return Text(path_ / FromText(relative)); }

private:
    // In the system's own separators, as the program gets paths from a drop.
    static std::filesystem::path FromText(const std::string& text) {
        return std::filesystem::path(std::u8string(text.begin(), text.end())).make_preferred();
    }

    static std::string Text(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

    std::filesystem::path path_;
};

}  // namespace palomix::testing
