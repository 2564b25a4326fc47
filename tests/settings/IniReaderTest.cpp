#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "settings/IniFile.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

const std::string kNihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // "日本" in UTF-8
const std::string kNihonSjis = "\x93\xFA\x96\x7B";      // "日本" in Shift-JIS

class IniReaderTest : public ::testing::Test {
protected:
    fs::path root;
    IniReader reader;

    void SetUp() override {
        std::random_device random;
        root = fs::temp_directory_path() / ("palomix-ini-" + std::to_string(random()));
        fs::create_directories(root);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string Put(const std::string& name, const std::string& bytes) const {
        const std::string path = (root / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

TEST_F(IniReaderTest, MissingFileSectionOrKeyGivesTheDefault) {
    const std::string missing = (root / "none.ini").string();
    EXPECT_EQ(reader.ReadString(missing, "SET", "BE1", "dflt"), "dflt");
    EXPECT_EQ(reader.ReadInteger(missing, "SET", "M_LEFT", 20), 20);
    EXPECT_EQ(reader.ReadString((root / "no/such/folder.ini").string(), "a", "b", "d"), "d");

    const std::string path = Put("state.ini", "[SET]\r\nBE1=\r\nM_TOP=7\r\n");
    EXPECT_EQ(reader.ReadString(path, "SET", "BE1", "dflt"), "");
    EXPECT_EQ(reader.ReadString(path, "SET", "nokey", "dflt"), "dflt");
    EXPECT_EQ(reader.ReadString(path, "OTHER", "BE1", "dflt"), "dflt");
    EXPECT_EQ(reader.ReadString(path, "SET", "nokey"), "");
}

TEST_F(IniReaderTest, IntegersFallBackToTheDefault) {
    const std::string path =
        Put("state.ini", "[SET]\nM_LEFT=0x40\nM_TOP=abc\nMC1=-1\nB1=\nB2=$1F\n");
    EXPECT_EQ(reader.ReadInteger(path, "SET", "M_LEFT", 20), 64);
    EXPECT_EQ(reader.ReadInteger(path, "SET", "M_TOP", 20), 20);
    EXPECT_EQ(reader.ReadInteger(path, "SET", "MC1", 0), -1);
    EXPECT_EQ(reader.ReadInteger(path, "SET", "B1", 1), 1);
    EXPECT_EQ(reader.ReadInteger(path, "SET", "B2", 0), 31);
    EXPECT_EQ(reader.ReadInteger(path, "SET", "none", 3), 3);
}

TEST_F(IniReaderTest, ShiftJisFileReadsAsUtf8) {
    const std::string path =
        Put("old.ini", "[Info]\r\nTitle=" + kNihonSjis + "\r\nTitleE=Japan\r\n[Item0]\r\nTitle=\"" +
                           kNihonSjis + "\"\r\n");
    EXPECT_EQ(reader.ReadString(path, "Info", "Title"), kNihon);
    EXPECT_EQ(reader.ReadString(path, "Info", "TitleE"), "Japan");
    EXPECT_EQ(reader.ReadString(path, "Item0", "Title"), kNihon);
}

TEST_F(IniReaderTest, ByteOrderMarkDoesNotHideTheFirstSection) {
    const std::string path = Put("bom.ini", "\xEF\xBB\xBF[Info]\nTitle=" + kNihon + "\n");
    EXPECT_EQ(reader.ReadString(path, "Info", "Title"), kNihon);
}

TEST_F(IniReaderTest, BytesThatAreNeitherUtf8NorShiftJisStillRead) {
    const std::string path = Put("bad.ini", "[Info]\nTitle=\xFF\xFE\x80\x85\x40\nTitleE=ok\n");
    EXPECT_FALSE(reader.ReadString(path, "Info", "Title").empty());
    EXPECT_EQ(reader.ReadString(path, "Info", "TitleE"), "ok");
}

TEST_F(IniReaderTest, FoldersReadAsEmpty) {
    EXPECT_EQ(reader.ReadString(root.string(), "a", "b", "d"), "d");
}

TEST_F(IniReaderTest, UnchangedFileIsParsedOnce) {
    const std::string path = Put("a.ini", "[a]\nb=1\n");
    const auto first = reader.Document(path);
    const auto second = reader.Document(path);
    EXPECT_EQ(first, second);
    EXPECT_EQ(second->Find("a", "b"), "1");
}

// Rewritten in place at once, with the same size: the stamp may well not change within one
// tick of the file system's clock, and the edit must still be seen.
TEST_F(IniReaderTest, EditOfTheSameSizeRightAfterAReadIsSeen) {
    const std::string path = Put("a.ini", "[a]\nb=1\n");
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "1");
    Put("a.ini", "[a]\nb=2\n");
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "2");
    Put("a.ini", "[a]\nb=3\n");
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "3");
}

// Even an edit that puts the old modification time back is seen.
TEST_F(IniReaderTest, EditWithTheOldModificationTimeIsSeen) {
    const std::string path = Put("a.ini", "[a]\nb=1\n");
    const fs::file_time_type before = fs::last_write_time(path);
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "1");
    Put("a.ini", "[a]\nb=2\n");
    fs::last_write_time(path, before);
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "2");
}

TEST_F(IniReaderTest, ReplacedAndRemovedFilesAreSeen) {
    const std::string path = Put("a.ini", "[a]\nb=1\n");
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "1");
    WriteIniString(path, "a", "b", "2");
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "2");
    fs::remove(path);
    EXPECT_EQ(reader.ReadString(path, "a", "b", "gone"), "gone");
    Put("a.ini", "[a]\nb=3\n");
    EXPECT_EQ(reader.ReadString(path, "a", "b"), "3");
}

// A file system in memory with a clock that stands still: a file's bytes can change while its
// stamp stays the same, as an in-place save of the same size does within one tick of a
// coarse file-system clock (FAT keeps two seconds; Windows' clock ticks every 10 to 16 ms).
class StillClockFiles {
public:
    static constexpr std::int64_t kNowNs = 1'700'000'000'000'000'000;

    void Put(const std::string& path, std::string bytes, std::int64_t modifiedNs) {
        files_[path] = {std::move(bytes), FileStamp{8, modifiedNs, modifiedNs, 1, 1}};
    }
    void Change(const std::string& path, std::string bytes) {
        files_[path].bytes = std::move(bytes);
    }

    IniFileAccess Access() {
        return {[this](const std::string& path) -> std::optional<FileStamp> {
                    const auto found = files_.find(path);
                    return found == files_.end() ? std::nullopt
                                                 : std::optional(found->second.stamp);
                },
                [this](const std::string& path) -> std::optional<FileSnapshot> {
                    const auto found = files_.find(path);
                    return found == files_.end() ? std::nullopt : std::optional(found->second);
                },
                [] { return kNowNs; }};
    }

private:
    std::map<std::string, FileSnapshot> files_;
};

TEST(IniReaderCacheTest, FileTouchedWithinOneClockTickIsComparedByItsBytes) {
    StillClockFiles files;
    IniReader reader(files.Access());
    // Fine times (fractions of a second): 100 ms count as one tick.
    files.Put("fine.ini", "[a]\nb=1\n", StillClockFiles::kNowNs - 50'000'000);
    EXPECT_EQ(reader.ReadString("fine.ini", "a", "b"), "1");
    files.Change("fine.ini", "[a]\nb=2\n");
    EXPECT_EQ(reader.ReadString("fine.ini", "a", "b"), "2");
    // Whole seconds, as FAT keeps them: two seconds count as one tick.
    files.Put("fat.ini", "[a]\nb=1\n", StillClockFiles::kNowNs - 1'000'000'000);
    EXPECT_EQ(reader.ReadString("fat.ini", "a", "b"), "1");
    files.Change("fat.ini", "[a]\nb=2\n");
    EXPECT_EQ(reader.ReadString("fat.ini", "a", "b"), "2");
}

TEST(IniReaderCacheTest, FileStillForLongerThanATickIsTrustedByItsStamp) {
    StillClockFiles files;
    IniReader reader(files.Access());
    files.Put("old.ini", "[a]\nb=1\n", StillClockFiles::kNowNs - 150'000'000);
    const auto first = reader.Document("old.ini");
    files.Change("old.ini", "[a]\nb=2\n");  // not a real edit: a real one changes the stamp
    EXPECT_EQ(reader.Document("old.ini"), first);
    files.Put("fat.ini", "[a]\nb=1\n", StillClockFiles::kNowNs - 3'000'000'000);
    EXPECT_EQ(reader.ReadString("fat.ini", "a", "b"), "1");
    files.Change("fat.ini", "[a]\nb=2\n");
    EXPECT_EQ(reader.ReadString("fat.ini", "a", "b"), "1");
}

}  // namespace
}  // namespace palomix
