// A FAT file system, as on a player's card: an image file made with mkfs.vfat and mounted
// through FUSE (fusefat) for as long as the object lives. Where the machine cannot (no
// mkfs.vfat or fusefat, no /dev/fuse, not POSIX), Folder() is empty and Why() says what failed.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace palomix::testing {

class FatImage {
public:
    explicit FatImage(const std::filesystem::path& workFolder) {
#ifdef _WIN32
        why_ = "FAT images are mounted on POSIX systems only";
#else
        const std::filesystem::path image = workFolder / "card.img";
        const std::filesystem::path mount = workFolder / "card";
        std::filesystem::create_directories(mount);
        if (std::system(("mkfs.vfat -C '" + image.string() + "' 8192 >/dev/null 2>&1").c_str()) !=
            0) {
            why_ = "mkfs.vfat cannot make an image (package dosfstools)";
            return;
        }
        if (std::system(
                ("fusefat -o rw+ '" + image.string() + "' '" + mount.string() + "' >/dev/null 2>&1")
                    .c_str()) != 0 ||
            !Mounted(mount)) {
            why_ = "fusefat cannot mount the image (package fusefat, and /dev/fuse)";
            return;
        }
        folder_ = mount.string();
#endif
    }
    ~FatImage() {
        if (!folder_.empty()) {
            std::system(("fusermount -u '" + folder_ + "' >/dev/null 2>&1").c_str());
        }
    }
    FatImage(const FatImage&) = delete;
    FatImage& operator=(const FatImage&) = delete;

    const std::string& Folder() const {
        return folder_;
    }
    const std::string& Why() const {
        return why_;
    }

private:
    static bool Mounted(const std::filesystem::path& folder) {
        std::ifstream mounts("/proc/mounts");
        for (std::string device, point, rest;
             mounts >> device >> point && std::getline(mounts, rest);) {
            if (point == folder.string()) {
                return true;
            }
        }
        return false;
    }

    std::string folder_;
    std::string why_;
};

}  // namespace palomix::testing
