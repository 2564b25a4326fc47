// The folder tree the folder search tests walk, and a search set up on it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "controllogic/SearchFile.h"
#include "platform/FileSystemTestTree.h"

namespace palomix::testing {

// The tree of the usual example: v holds a.avi, Sub (y.avi, Deep with z.avi) and Sub2
// (w.avi).
class SearchFileTest : public ::testing::Test {
protected:
    SearchFileTest() {
        tree_.File("v/a.avi", "aaaa");
        tree_.File("v/Sub/y.avi");
        tree_.File("v/Sub/Deep/z.avi");
        tree_.File("v/Sub2/w.avi");
        search_.SetDirectory(tree_.Path("v"));
        search_.SetOnFind([this](TSearchFile&, const std::string& name, const TSearchFileData&,
                                 bool&) { found_.push_back(Relative(name)); });
    }

    // A full path relative to the tree's root, with '/'.
    std::string Relative(const std::string& path) const {
        return std::filesystem::path(path).lexically_relative(tree_.Root()).generic_string();
    }

    std::vector<std::string> FolderList() const {
        std::vector<std::string> folders;
        for (const std::string& folder : search_.FolderList()) {
            folders.push_back(Relative(folder));
        }
        return folders;
    }

    TestTree tree_;
    TSearchFile search_;
    std::vector<std::string> found_;
};

}  // namespace palomix::testing
