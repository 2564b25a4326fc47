// The real palomix program, copied into a program folder of the test's own whose one command
// runs for a long time: a later start hands its paths to the running window, and a window
// killed during a run leaves its queue for the next start to offer. On Qt's offscreen platform,
// and again on a virtual X display by real_program_xvfb_test.sh.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include "app/QueueContextMenu.h"
#include "app/QueueTexts.h"
#include "platform/SingleInstance.h"
#include "platform/posix/SingleInstancePosix.h"
#include "settings/QueueFile.h"
#include "support/TemporaryMarks.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ProgramProcessSupport.h"

namespace palomix::testing {
namespace {

// The names in a folder that carry the temporary mark.
std::vector<std::string> TemporariesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (HasTemporaryMark(entry.path().filename().string())) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

class RealProgramPosixTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The windows of each test, and the next start in this process, meet in a temporary
        // folder of the test's own (their lock, their notes of temporary files).
        ::chmod(runtime_.c_str(), 0700);
        if (const char* temporary = std::getenv("TMPDIR")) {
            oldTemporary_ = temporary;
        }
        ::setenv("TMPDIR", runtime_.c_str(), 1);
        const std::optional<std::string> place =
            SingleInstanceLockPlaceIn(runtime_, kSingleInstanceName);
        ASSERT_TRUE(place);
        lock_ = *place;
        std::filesystem::copy_file(std::string(PALOMIX_PROGRAM_DIR) + "/palomix", program_);
        std::filesystem::copy_file(std::string(PALOMIX_TEST_HELPER_DIR) + "/palomix-window-driver",
                                   answering_);
        scratch_.Write("program/convert_settings/slow.ini",
                       "[Info]\nTitle=slow\nTitleE=slow\n[Item0]\nTitle=slow\nTitleE=slow\n"
                       "Command0=" +
                           HelperPath("sleep") + " 20 \"<%OutputFile%>.part\"\n");
        scratch_.Write("program/Palomix.ini", "[SET]\nMC1=0\nMC2=0\nBE1=" + out_ + "\n");
        ::chmod(runtime_.c_str(), 0700);
    }

    void TearDown() override {
        if (window_ > 0) {
            ::kill(window_, SIGKILL);
            WaitForExit(window_, std::chrono::seconds(10));
        }
        if (oldTemporary_) {
            ::setenv("TMPDIR", oldTemporary_->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    // On the X display when the tests run on one (real_program_xvfb_test.sh), else offscreen.
    pid_t Start(const std::vector<std::string>& arguments, bool answering = false) const {
        const bool x11 = qEnvironmentVariable("QT_QPA_PLATFORM") == QStringLiteral("xcb") &&
                         !qEnvironmentVariableIsEmpty("DISPLAY");
        std::vector<std::string> words = arguments;
        if (answering) {
            words.insert(words.begin(), "window");
        }
        return Spawn(answering ? answering_ : program_,
                     {"XDG_RUNTIME_DIR=" + runtime_, "TMPDIR=" + runtime_,
                      std::string("QT_QPA_PLATFORM=") + (x11 ? "xcb" : "offscreen")},
                     words);
    }

    // The window started with the arguments given, once it holds the lock. `answering`: the
    // program as palomix runs it, whose questions are answered as Enter answers them (the
    // files of the command line are converted at once).
    void StartWindow(const std::vector<std::string>& arguments, bool answering = false) {
        window_ = Start(arguments, answering);
        ASSERT_GT(window_, 0);
        ASSERT_TRUE(WaitUntil([&] { return LockIsHeld(lock_); }, std::chrono::seconds(20)));
    }

    // A window killed while it converts the first of two files: their paths.
    std::vector<std::string> KillDuringARun() {
        const std::vector<std::string> files = {scratch_.Write("in/1.avi", "1"),
                                                scratch_.Write("in/2.avi", "2")};
        StartWindow(files, true);
        EXPECT_EQ(KeptPaths(files.size()), files);
        EXPECT_TRUE(WaitUntil([&] { return !TemporariesIn(out_).empty(); }));
        ::kill(window_, SIGKILL);
        EXPECT_TRUE(WaitForExit(window_, std::chrono::seconds(10)).has_value());
        window_ = -1;
        EXPECT_EQ(TemporariesIn(out_).size(), 1u);  // what the killed window was writing
        return files;
    }

    // The window of the next start in this process, over the same program folder.
    MainFormEnvironment NextWindow(std::shared_ptr<RecordingSink> messages) const {
        MainFormEnvironment environment;
        environment.programFolder = scratch_.Path("program");
        environment.executablePath = program_;
        environment.messages = std::move(messages);
        environment.systemLocale = std::string();
        return environment;
    }

    // The paths the window's kept queue lists, once it lists `count`.
    std::vector<std::string> KeptPaths(std::size_t count) const {
        QueueFileRead read;
        EXPECT_TRUE(WaitUntil([&] {
            read = ReadQueueFile(scratch_.Path("program/Palomix.queue"));
            return read.queue.files.size() == count;
        }));
        std::vector<std::string> paths;
        for (const QueuedFile& file : read.queue.files) {
            paths.push_back(file.path);
        }
        return paths;
    }

    ScratchFolder scratch_;
    std::string program_ = scratch_.MakeFolder("program") + "/palomix";
    std::string answering_ = scratch_.Path("program/palomix-window-driver");
    std::string out_ = scratch_.Path("out");
    std::string runtime_ = scratch_.MakeFolder("runtime");
    std::optional<std::string> oldTemporary_;
    std::string lock_;
    pid_t window_ = -1;
};

TEST_F(RealProgramPosixTest, ALaterStartHandsItsPathsToTheRunningWindowAndEndsAtOnce) {
    const std::vector<std::string> files = {scratch_.Write("in/clip one.avi", "1"),
                                            scratch_.Write("in/日本 語.avi", "2"),
                                            scratch_.Write("in/caf\xE9.wav", "3")};
    StartWindow({});
    const auto start = std::chrono::steady_clock::now();
    // Qt's own options are the window program's, never paths.
    std::vector<std::string> arguments = {"-style", "fusion"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    const pid_t later = Start(arguments);
    ASSERT_GT(later, 0);
    const std::optional<int> status = WaitForExit(later, std::chrono::seconds(5));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(KeptPaths(files.size()), files);
}

TEST_F(RealProgramPosixTest, AWindowKilledDuringARunOffersItsQueueAtTheNextStart) {
    const std::vector<std::string> files = KillDuringARun();
    // The next start, with its question answered.
    const auto messages = std::make_shared<RecordingSink>();
    messages->answers = {kContinueQueue};
    TMainForm1 next(NextWindow(messages));
    EXPECT_TRUE(TemporariesIn(out_).empty());  // removed as the next window starts
    next.FormActivate();
    ASSERT_EQ(messages->questions.size(), 1U);
    EXPECT_NE(messages->questions[0].text.toStdString().find(" 2 "), std::string::npos);
    ASSERT_EQ(next.Core().JobCount(), 2);
    EXPECT_EQ(next.Core().Job(0).path, files[0]);  // the one being converted, first again
    EXPECT_EQ(next.Core().Job(1).path, files[1]);
    EXPECT_TRUE(next.Core().IsConverting(next.Core().Job(0).id));
    next.QueueMenu().RemoveAllWaiting();
    next.Button1Click();
    ASSERT_TRUE(
        WaitUntil([&] { return next.Core().JobCount() == 0 && !next.Core().WaitingForProcess(); }));
}

TEST_F(RealProgramPosixTest, AfterDiscardNoTemporaryOfTheKilledRunIsLeftInTheOutputFolder) {
    KillDuringARun();
    const auto messages = std::make_shared<RecordingSink>();
    messages->answers = {kDiscardQueue};
    TMainForm1 next(NextWindow(messages));
    next.FormActivate();
    ASSERT_EQ(messages->questions.size(), 1U);
    EXPECT_EQ(next.Core().JobCount(), 0);
    EXPECT_TRUE(TemporariesIn(out_).empty());
    EXPECT_FALSE(std::filesystem::exists(scratch_.Path("program/Palomix.queue")));
}

TEST_F(RealProgramPosixTest, ATerminateSignalKeepsTheQueueDuringARunAndDuringTheContinueQuestion) {
    const std::vector<std::string> files = {scratch_.Write("in/1.avi", "1"),
                                            scratch_.Write("in/2.avi", "2"),
                                            scratch_.Write("in/3.avi", "3")};
    StartWindow(files, true);
    ASSERT_EQ(KeptPaths(files.size()), files);
    ASSERT_TRUE(WaitUntil([&] { return !TemporariesIn(out_).empty(); }));
    // Logout: the conversion is stopped, the window closes, the queue stays.
    ::kill(window_, SIGTERM);
    const std::optional<int> status = WaitForExit(window_, std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
    window_ = -1;
    EXPECT_EQ(KeptPaths(files.size()), files);

    // The next start asks about them; logout again while the question is open.
    StartWindow({});
    std::this_thread::sleep_for(std::chrono::seconds(3));  // the window is up and asking
    ::kill(window_, SIGTERM);
    ASSERT_TRUE(WaitForExit(window_, std::chrono::seconds(10)).has_value());
    window_ = -1;
    EXPECT_EQ(KeptPaths(files.size()), files);
}

}  // namespace
}  // namespace palomix::testing
