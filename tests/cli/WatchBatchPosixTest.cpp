// palomix-batch --watch for real: the built program watching a folder with inotify, converting
// with the copy helper, its record in a state folder of the test's own.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "BatchProgramFixture.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string HelperLine(const std::string& helper, const std::string& arguments) {
    return "\"\"" + std::string(PALOMIX_TEST_HELPER_DIR) + "/test-helper-" + helper + "\" " +
           arguments + "\"";
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// How many "[i/n] NAME: done" lines each file name has.
std::map<std::string, int> DoneLines(const std::string& err) {
    static const std::regex done(R"(^\[\d+/\d+\] (.*): done \()");
    std::map<std::string, int> count;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, done)) {
            ++count[match[1]];
        }
    }
    return count;
}

class WatchBatchPosixTest : public BatchProgramFixture {
protected:
    void SetUp() override {
        BatchProgramFixture::SetUp();
        ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
        in_ = work_ / "in";
        fs::create_directories(in_);
        Converter({HelperLine("copy", "\"<%InputFile%>\" \"<%OutputFile%>.out\"")});
    }
    void TearDown() override {
        ::unsetenv("XDG_STATE_HOME");
        BatchProgramFixture::TearDown();
    }

    void Converter(const std::vector<std::string>& lines) const {
        std::string text = "[Item0]\nTitle=t\nTitleE=t\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            text += "Command" + std::to_string(i) + "=" + lines[i] + "\n";
        }
        WriteSettings("t.ini", text);
    }
    std::vector<std::string> Watch(const std::string& output,
                                   std::vector<std::string> more = {}) const {
        std::vector<std::string> arguments{"--settings", "t.ini",      "--output", output,
                                           "--watch",    in_.string(), "--settle", "0.4"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    }
    std::string Err() const { return ReadAll((root_ / "stderr.txt").string()); }
    bool ErrHas(const std::string& text, std::chrono::seconds limit = 30s) const {
        return WaitFor([&] { return Err().find(text) != std::string::npos; }, limit);
    }
    // Ends a watching program as a service manager does; its result.
    BatchResult Terminate(long id) {
        ::kill(static_cast<pid_t>(id), SIGTERM);
        return Wait(id);
    }
    static std::string Content(const fs::path& file) { return ReadAll(file.string()); }

    fs::path in_;
};

// The writer holds the file open and pauses longer than the settle time between pieces: the
// close after writing says when it is complete.
TEST_F(WatchBatchPosixTest, AFileCopiedInSlowlyIsConvertedOnceAfterItIsComplete) {
    const long id = Start(Watch("out"));
    ASSERT_TRUE(ErrHas("watching"));
    std::string whole;
    {
        std::ofstream slow(in_ / "slow.bin", std::ios::binary);
        for (int piece = 0; piece < 5; ++piece) {
            const std::string bytes(4096, static_cast<char>('a' + piece));
            slow << bytes << std::flush;
            whole += bytes;
            std::this_thread::sleep_for(1100ms);
        }
    }
    ASSERT_TRUE(ErrHas("slow.bin: done")) << Err();
    std::this_thread::sleep_for(1500ms);
    const BatchResult result = Terminate(id);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(DoneLines(result.err), (std::map<std::string, int>{{"slow.bin", 1}})) << result.err;
    EXPECT_EQ(Content(work_ / "out" / "slow.out"), whole);
}

TEST_F(WatchBatchPosixTest, AThousandFilesPutInAtOnceAreEachConvertedExactlyOnce) {
    const long id = Start(Watch("out", {"--jobs", "2"}));
    ASSERT_TRUE(ErrHas("watching"));
    for (int n = 0; n < 1000; ++n) {
        std::ofstream(in_ / ("f" + std::to_string(n) + ".bin"), std::ios::binary) << n;
    }
    EXPECT_TRUE(WaitFor([&] { return DoneLines(Err()).size() == 1000; }, 240s));
    const BatchResult result = Terminate(id);
    EXPECT_EQ(result.exitCode, 0);
    const std::map<std::string, int> done = DoneLines(result.err);
    ASSERT_EQ(done.size(), 1000u);
    for (int n = 0; n < 1000; ++n) {
        const std::string name = "f" + std::to_string(n);
        EXPECT_EQ(done.at(name + ".bin"), 1) << name;
        EXPECT_EQ(Content(work_ / "out" / (name + ".out")), std::to_string(n));
    }
}

TEST_F(WatchBatchPosixTest, ARestartInTheMiddleConvertsNothingTwiceAndMissesNothing) {
    Converter(
        {HelperLine("copy", "\"<%InputFile%>\" \"<%OutputFile%>.out\""), HelperLine("sleep", "1")});
    for (int n = 0; n < 12; ++n) {
        std::ofstream(in_ / ("f" + std::to_string(n) + ".bin"), std::ios::binary) << n;
    }
    long id = Start(Watch("out", {"--jobs", "2"}));
    ASSERT_TRUE(WaitFor([&] { return DoneLines(Err()).size() >= 4; }));
    const BatchResult first = Terminate(id);
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_LT(DoneLines(first.err).size(), 12u);

    id = Start(Watch("out", {"--jobs", "2"}));
    std::map<std::string, int> done = DoneLines(first.err);
    ASSERT_TRUE(WaitFor([&] { return done.size() + DoneLines(Err()).size() >= 12; }));
    std::this_thread::sleep_for(1s);
    const BatchResult second = Terminate(id);
    for (const auto& [name, count] : DoneLines(second.err)) {
        done[name] += count;
    }
    ASSERT_EQ(done.size(), 12u) << first.err << second.err;
    for (const auto& [name, count] : done) {
        EXPECT_EQ(count, 1) << name;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(work_ / "out")) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
}

// Outputs in a folder inside the watched one (and in the watched folder itself) are never taken,
// by the events of their arrival nor by a rescan.
TEST_F(WatchBatchPosixTest, TheOutputFolderInsideTheWatchedFolderIsNeverTaken) {
    for (const fs::path& output : {in_ / "out", in_}) {
        SCOPED_TRACE(output);
        const std::string name = output == in_ ? "beside" : "inside";
        std::ofstream(in_ / (name + ".wav"), std::ios::binary) << name;
        const long id = Start(Watch(output.string(), {"--subfolders", "--rescan", "1"}));
        ASSERT_TRUE(ErrHas(name + ".wav: done")) << Err();
        std::this_thread::sleep_for(2500ms);  // two rescans and the settle time
        const BatchResult result = Terminate(id);
        EXPECT_EQ(DoneLines(result.err), (std::map<std::string, int>{{name + ".wav", 1}}))
            << result.err;
        EXPECT_TRUE(fs::exists(output / (name + ".out")));
        // The next watch converts into another folder: to it, these would be new files.
        fs::remove(in_ / (name + ".wav"));
        fs::remove(output / (name + ".out"));
    }
}

TEST_F(WatchBatchPosixTest, ARemovedAndRecreatedWatchedFolderPausesAndComesBack) {
    std::ofstream(in_ / "a.wav", std::ios::binary) << "a";
    const long id = Start(Watch("out"));
    ASSERT_TRUE(ErrHas("a.wav: done"));
    fs::remove_all(in_);
    ASSERT_TRUE(ErrHas("cannot be read (No such file or directory): waiting for it to come back"));
    fs::create_directories(in_);
    std::ofstream(in_ / "b.wav", std::ios::binary) << "b";
    ASSERT_TRUE(ErrHas("is back: watching again")) << Err();
    ASSERT_TRUE(ErrHas("b.wav: done")) << Err();

    // A card taken out and put back: what it held was converted, and is not again.
    fs::rename(in_, work_ / "card away");
    ASSERT_TRUE(WaitFor([&] {
        const std::string err = Err();
        return err.find("waiting for it") != err.rfind("waiting for it");
    }));
    fs::rename(work_ / "card away", in_);
    std::ofstream(in_ / "c.wav", std::ios::binary) << "c";
    ASSERT_TRUE(ErrHas("c.wav: done")) << Err();
    std::this_thread::sleep_for(1s);
    const BatchResult result = Terminate(id);
    EXPECT_EQ(DoneLines(result.err),
              (std::map<std::string, int>{{"a.wav", 1}, {"b.wav", 1}, {"c.wav", 1}}))
        << result.err;
}

// --once: what is complete now, then the exit status of an ordinary run. A failed file is
// remembered and told, not tried again until asked.
TEST_F(WatchBatchPosixTest, OnceConvertsWhatIsThereAndEndsAsARunOfThoseFiles) {
    std::ofstream(in_ / "a.wav", std::ios::binary) << "a";
    BatchResult result = Run(Watch("out", {"--once"}));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(DoneLines(result.err), (std::map<std::string, int>{{"a.wav", 1}})) << result.err;

    Converter({HelperLine("exitcode", "1")});
    std::ofstream(in_ / "b.wav", std::ios::binary) << "b";
    result = Run(Watch("out", {"--once"}));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("b.wav: failed (exit code 1)"), std::string::npos) << result.err;
    result = Run(Watch("out", {"--once"}));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("b.wav' did not convert (exit code 1)"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("0 done"), std::string::npos) << result.err;
    result = Run(Watch("out", {"--once", "--retry-failed"}));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("b.wav: failed"), std::string::npos) << result.err;

    result = Run(Watch("out", {"--once", "--watch", (work_ / "missing").string()}));
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("missing' cannot be read"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace palomix::testing
