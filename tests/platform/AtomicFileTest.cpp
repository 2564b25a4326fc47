#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace palomix {
namespace {

namespace fs = std::filesystem;

// A fresh folder below the system's temporary folder, removed with everything in it.
class AtomicFileTest : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override {
        std::random_device random;
        root = fs::temp_directory_path() / ("palomix-atomic-" + std::to_string(random()));
        fs::create_directories(root);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root, ignored);
    }

    std::string PathOf(const std::string& name) const { return (root / name).string(); }

    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
};

TEST_F(AtomicFileTest, CreatesAndReplacesFilesWithExactBytes) {
    const std::string path = PathOf("state.ini");
    const std::string binary("a\0b\r\n\xFF", 6);
    WriteFileAtomically(path, binary);
    EXPECT_EQ(Get(path), binary);
    WriteFileAtomically(path, "");
    EXPECT_EQ(Get(path), "");
    WriteFileAtomically(path, "new");
    EXPECT_EQ(Get(path), "new");
    EXPECT_EQ(Names(), std::vector<std::string>{"state.ini"});
}

TEST_F(AtomicFileTest, MissingFolderFailsWithAnErrorNamingTheFile) {
    const std::string path = PathOf("missing/state.ini");
    try {
        WriteFileAtomically(path, "x");
        FAIL() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(error.path(), path);
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
    EXPECT_TRUE(Names().empty());
}

TEST_F(AtomicFileTest, AFolderCannotBeReplaced) {
    const std::string path = PathOf("folder");
    fs::create_directory(path);
    EXPECT_THROW(WriteFileAtomically(path, "x"), FileError);
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(AtomicFileTest, ReadsBytesAndTellsMissingFromUnreadable) {
    const std::string path = PathOf("a.ini");
    Put(path, std::string("x\0y", 3));
    EXPECT_EQ(ReadFileBytes(path), std::string("x\0y", 3));
    EXPECT_EQ(ReadFileBytes(PathOf("none.ini")), std::nullopt);
    EXPECT_EQ(ReadFileBytes(PathOf("none/a.ini")), std::nullopt);
    EXPECT_EQ(ReadFileBytes(PathOf("a.ini/b")), std::nullopt);  // a file as a folder
    EXPECT_THROW(ReadFileBytes(root.string()), FileError);
}

TEST_F(AtomicFileTest, StampOfMatchesTheSnapshotAndChangesWhenTheFileIsReplaced) {
    const std::string path = PathOf("a.ini");
    EXPECT_EQ(StampOf(path), std::nullopt);
    WriteFileAtomically(path, "one");
    const auto before = StampOf(path);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->size, 3u);
    const auto snapshot = ReadFileSnapshot(path);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->stamp, *before);
    // Same size, written at once: the new file is another inode, so the stamp differs even
    // when the clock has not moved on.
    WriteFileAtomically(path, "two");
    const auto after = StampOf(path);
    ASSERT_TRUE(after);
    EXPECT_NE(*after, *before);
}

}  // namespace
}  // namespace palomix
