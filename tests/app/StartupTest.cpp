// Start-up: one instance per user, the application title, exceptions from event handlers.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <thread>

#include "app/PalomixApplication.h"
#include "palomix/BuildInfo.h"
#include "platform/SingleInstance.h"
#include "platform/posix/SingleInstancePosix.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ProgramProcessSupport.h"

namespace palomix::testing {
namespace {

TEST(SingleInstanceProgramTest, ASecondInstanceEndsAtOnceWithCodeZero) {
    const std::string program = std::string(PALOMIX_PROGRAM_DIR) + "/palomix";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build the palomix target first";
    // The two differ in their runtime folder, which must not matter; they meet in a temporary
    // folder of the test's own.
    const ScratchFolder scratch;
    const std::string runtime = scratch.MakeFolder("runtime");
    ::chmod(runtime.c_str(), 0700);
    const std::string temporary = scratch.MakeFolder("tmp");
    const std::optional<std::string> place =
        SingleInstanceLockPlaceIn(temporary, kSingleInstanceName);
    ASSERT_TRUE(place);
    const std::string lock = *place;

    const pid_t first = Spawn(program, {"XDG_RUNTIME_DIR=" + runtime, "TMPDIR=" + temporary,
                                        "QT_QPA_PLATFORM=offscreen"});
    ASSERT_GT(first, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!LockIsHeld(lock) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(LockIsHeld(lock));

    // The second never creates its window: it is gone long before an event loop could run,
    // and leaves the first untouched.
    const pid_t second = Spawn(program, {"TMPDIR=" + temporary, "QT_QPA_PLATFORM=offscreen"});
    ASSERT_GT(second, 0);
    const std::optional<int> status = WaitForExit(second, std::chrono::seconds(10));
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_FALSE(WaitForExit(first, std::chrono::milliseconds(200)).has_value());

    ::kill(first, SIGKILL);
    WaitForExit(first, std::chrono::seconds(10));
    EXPECT_FALSE(LockIsHeld(lock));  // the system releases it with the process
}

// The window program run to its end with the arguments given, on a platform that has no
// display: a window would fail to open. Its exit status and what it printed.
struct ProgramEnd {
    std::optional<int> status;
    std::string out;
    std::string err;
};

ProgramEnd RunWithoutDisplay(const std::vector<std::string>& arguments) {
    const ScratchFolder scratch;
    const std::string out = scratch.Path("out.txt");
    const std::string err = scratch.Path("err.txt");
    const std::string runtime = scratch.MakeFolder("runtime");
    ::chmod(runtime.c_str(), 0700);
    const pid_t pid = Spawn(std::string(PALOMIX_PROGRAM_DIR) + "/palomix",
                            {"XDG_RUNTIME_DIR=" + runtime, "TMPDIR=" + runtime,
                             "QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY="},
                            arguments, {{out, err}});
    EXPECT_GT(pid, 0);
    ProgramEnd end;
    end.status = WaitForExit(pid, std::chrono::seconds(20));
    if (!end.status) {
        ::kill(pid, SIGKILL);
        WaitForExit(pid, std::chrono::seconds(10));
    }
    end.out = ReadText(out);
    end.err = ReadText(err);
    return end;
}

bool EndedWith(const ProgramEnd& end, int code) {
    return end.status && WIFEXITED(*end.status) && WEXITSTATUS(*end.status) == code;
}

TEST(WindowOptionsProgramTest, HelpAndVersionPrintAndEndWithoutAWindow) {
    const ProgramEnd help = RunWithoutDisplay({"--help"});
    EXPECT_TRUE(EndedWith(help, 0)) << help.err;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("[files...]"), std::string::npos) << help.out;

    // Qt's own options still pass, before and after.
    const ProgramEnd version = RunWithoutDisplay({"-style", "fusion", "--version", "-reverse"});
    EXPECT_TRUE(EndedWith(version, 0)) << version.err;
    EXPECT_EQ(version.out.rfind("palomix " + std::string(kVersion) + "\n", 0), 0U) << version.out;
    EXPECT_NE(version.out.find("\nMedia probe: "), std::string::npos) << version.out;
    if (!kLicence.empty()) {
        EXPECT_NE(version.out.find("\nLicence: " + std::string(kLicence) + "\n"), std::string::npos)
            << version.out;
    }
    EXPECT_EQ(version.err, "");
}

TEST(WindowOptionsProgramTest, AnUnknownOptionIsRefusedWithAClearError) {
    for (const std::string& option : {std::string("--bogus"), std::string("-x")}) {
        const ProgramEnd refused = RunWithoutDisplay({option, "/tmp/clip.mp4"});
        EXPECT_TRUE(EndedWith(refused, 2)) << option;
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find("palomix: Unknown option"), std::string::npos) << refused.err;
        EXPECT_NE(refused.err.find("--help"), std::string::npos) << refused.err;
    }
}

class Thrower final : public QObject {
protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw std::runtime_error("the handler failed");
        }
        if (event->type() == QEvent::User + 1) {
            throw 42;
        }
        return QObject::event(event);
    }
};

TEST(PalomixApplicationTest, ExceptionsFromEventHandlersAreShownAndTheProgramGoesOn) {
    auto* application = qobject_cast<PalomixApplication*>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    const auto sink = std::make_shared<RecordingSink>();
    application->SetExceptionSink(sink);
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 1)));
    ProcessPending();
    application->SetExceptionSink(nullptr);
    EXPECT_EQ(sink->texts, (std::vector<std::string>{"the handler failed", ""}));
}

}  // namespace
}  // namespace palomix::testing
