// Atomic writes and reads where POSIX has more to say: permission bits, links, file size
// limits and FIFOs.
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
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileSystemTestTree.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

class AtomicFilePosixTest : public ::testing::Test {
protected:
    testing::TestTree tree;

    std::string PathOf(const std::string& name) const { return tree.Path(name); }

    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(tree.Root())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
};

TEST_F(AtomicFilePosixTest, ReplacedFileKeepsItsPermissionBits) {
    const std::string path = PathOf("state.ini");
    Put(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteFileAtomically(path, "new");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(AtomicFilePosixTest, WritingThroughASymbolicLinkReplacesTheFileItNames) {
    const std::string real = PathOf("real.ini");
    const std::string link = PathOf("link.ini");
    Put(real, "old");
    fs::create_symlink("real.ini", link);
    WriteFileAtomically(link, "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Get(real), "new");
}

TEST_F(AtomicFilePosixTest, ReadOnlyFolderLeavesTheOldFileWhole) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    const std::string path = PathOf("state.ini");
    Put(path, "old contents");
    fs::permissions(tree.Root(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_THROW(WriteFileAtomically(path, "new contents"), FileError);
    fs::permissions(tree.Root(), fs::perms::owner_all);
    EXPECT_EQ(Get(path), "old contents");
    EXPECT_EQ(Names(), std::vector<std::string>{"state.ini"});
}

// A write that breaks off half-way (here: the file size limit of the process, which binds
// root too) leaves the old file as it was and no temporary file behind.
TEST_F(AtomicFilePosixTest, WriteThatBreaksOffLeavesTheOldFileWhole) {
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

TEST_F(AtomicFilePosixTest, ReadingAFifoFailsInsteadOfWaitingForAWriter) {
    const std::string path = PathOf("pipe.ini");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(ReadFileBytes(path), FileError);
}

// Temporary files of earlier writes whose writers are gone are removed by the next write to
// the same file; a file some writer still holds, other files' temporary files and names that
// only look alike stay.
TEST_F(AtomicFilePosixTest, NextWriteRemovesStaleTemporaryFilesOfTheSameFile) {
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
TEST_F(AtomicFilePosixTest, KilledWritersLeaveNoLitterAndLiveWritersKeepTheirFiles) {
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

}  // namespace
}  // namespace palomix
