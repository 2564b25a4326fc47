// A folder tree for tests under the system's temporary folder, removed with everything in
// it when the test ends. Shared by the platform, controls and engine tests. Paths are UTF-8
// texts, as everywhere in the program (on Windows too, where a narrow path would be read in
// the system's code page).
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/PathRules.h"

namespace palomix::testing {

class TestTree {
public:
    TestTree() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            root_ = base / ("palomix-test-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(root_, error)) {
                break;
            }
        }
    }
    ~TestTree() {
        std::error_code error;
        // Read-only folders made by a test must not stop the clean-up.
        for (auto it = std::filesystem::recursive_directory_iterator(root_, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            if (it->is_directory(error) && !it->is_symlink(error)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, error);
            }
        }
        std::filesystem::remove_all(root_, error);
    }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    std::string Root() const { return Text(root_); }

    // The full path of a relative path written with '/'.
    std::string Path(std::string_view relative) const {
        std::string path = Root();
        std::string_view rest = relative;
        while (!rest.empty()) {
            const std::size_t slash = rest.find('/');
            path = JoinPath(path, rest.substr(0, slash));
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
        return path;
    }

    // Creates a file (and its folders) with the given content; returns its full path.
    std::string File(std::string_view relative, std::string_view content = "") const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(FromText(path).parent_path());
        std::ofstream(FromText(path), std::ios::binary) << content;
        return path;
    }

    // Creates a folder (and its parents); returns its full path.
    std::string Folder(std::string_view relative) const {
        const std::string path = Path(relative);
        std::filesystem::create_directories(FromText(path));
        return path;
    }

    static std::filesystem::path FromText(std::string_view text) {
        return std::filesystem::path(std::u8string(text.begin(), text.end()));
    }
    static std::string Text(const std::filesystem::path& path) {
        const std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    }

private:
    std::filesystem::path root_;
};

}  // namespace palomix::testing
