#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
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

TEST_F(AtomicFileTest, ReplacedFileKeepsItsPermissionBits) {
    const std::string path = PathOf("state.ini");
    Put(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteFileAtomically(path, "new");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(AtomicFileTest, WritingThroughASymbolicLinkReplacesTheFileItNames) {
    const std::string real = PathOf("real.ini");
    const std::string link = PathOf("link.ini");
    Put(real, "old");
    fs::create_symlink("real.ini", link);
    WriteFileAtomically(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get(real), "new");
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

TEST_F(AtomicFileTest, ReadOnlyFolderLeavesTheOldFileWhole) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const std::string path = PathOf("state.ini");
    Put(path, "old contents");
    fs::permissions(root, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(WriteFileAtomically(path, "new contents"), FileError);
    fs::permissions(root, fs::perms::owner_all);
    EXPECT_EQ(Get(path), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"state.ini"});
}

// A write that breaks off half-way (here: the file size limit of the process, which binds
// root too) leaves the old file as it was and no temporary file behind.
TEST_F(AtomicFileTest, WriteThatBreaksOffLeavesTheOldFileWhole) {
    const std::string path = PathOf("state.ini");
    Put(path, "old contents");
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string reason;
    try {
        WriteFileAtomically(path, std::string(100'000, 'x'));
    } catch (const FileError& error) {
        reason = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_NE(reason.find(path), std::string::npos) << reason;
    EXPECT_EQ(Get(path), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"state.ini"});
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

TEST_F(AtomicFileTest, ReadingAFifoFailsInsteadOfWaitingForAWriter) {
    const std::string path = PathOf("pipe.ini");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(ReadFileBytes(path), FileError);
}

// Temporary files of earlier writes whose writers are gone are removed by the next write to
// the same file; a file some writer still holds, other files' temporary files and names that
// only look alike stay.
TEST_F(AtomicFileTest, NextWriteRemovesStaleTemporaryFilesOfTheSameFile) {
    const std::string path = PathOf("state.ini");
    const std::vector<std::string> kept = {".state.ini.tmp-00000000000000ff",  // held, below
                                           ".other.ini.tmp-0123456789abcdef", ".state.ini.tmp-0123",
                                           "state.ini.tmp-0123456789abcdef"};
    for (const std::string& name : kept) {
        Put(PathOf(name), "kept");
    }
    Put(PathOf(".state.ini.tmp-0123456789abcdef"), std::string(4096, 'x'));
    Put(PathOf(".state.ini.tmp-fedcba9876543210"), "");
    const int held = ::open(PathOf(kept[0]).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    WriteFileAtomically(path, "new");
    ::close(held);
    std::vector<std::string> expected = kept;
    expected.push_back("state.ini");
    std::vector<std::string> names = Names();
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}

// A writer killed half-way leaves its temporary file behind; a writer at work must never lose
// its file to the clean-up of another.
TEST_F(AtomicFileTest, KilledWritersLeaveNoLitterAndLiveWritersKeepTheirFiles) {
    const std::string path = PathOf("state.ini");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string bytes(4 << 20, 'c');
        try {
            for (;;) {
                WriteFileAtomically(path, bytes);
            }
        } catch (...) {
        }
        ::_exit(1);  // a write failed
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    int writes = 0;
    while (std::chrono::steady_clock::now() < deadline || writes < 20) {
        WriteFileAtomically(path, "parent");
        ++writes;
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the other writer failed";
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    WriteFileAtomically(path, "last");
    EXPECT_EQ(Names(), std::vector<std::string>{"state.ini"});
    EXPECT_EQ(Get(path), "last");
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
