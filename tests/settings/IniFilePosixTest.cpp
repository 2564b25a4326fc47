// INI files that POSIX permissions keep from being read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/FileSystemTestTree.h"
#include "settings/IniFile.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;
using testing::TestTree;

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(IniReaderPosixTest, UnreadableFilesReadAsEmpty) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const TestTree tree;
    const std::string path = tree.File("locked.ini", "[a]\nb=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    IniReader reader;
    EXPECT_EQ(reader.ReadString(path, "a", "b", "d"), "d");
}

TEST(WriteIniStringsPosixTest, FileThatCannotBeReadIsNotOverwritten) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const TestTree tree;
    const std::string path = tree.File("Palomix.ini", "[SET]\nBE1=old\n[Other]\nmany=keys\n");
    fs::permissions(path, fs::perms::owner_write);
    EXPECT_THROW(WriteIniString(path, "SET", "B1", "1"), IniWriteError);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Get(path), "[SET]\nBE1=old\n[Other]\nmany=keys\n");
}

}  // namespace
}  // namespace palomix
