// Start-up: one instance per user, the application title, exceptions from event handlers.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <thread>

#include "app/PalomixApplication.h"
#include "platform/SingleInstance.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/ProgramProcessSupport.h"

namespace palomix::testing {
namespace {

TEST(SingleInstanceProgramTest, ASecondInstanceEndsAtOnceWithCodeZero) {
    const std::string program = std::string(PALOMIX_PROGRAM_DIR) + "/palomix";
    ASSERT_TRUE(std::filesystem::exists(program)) << "build the palomix target first";
    const std::optional<std::string> place = SingleInstanceLockPlace(kSingleInstanceName);
    ASSERT_TRUE(place);
    const std::string lock = *place;
    if (LockIsHeld(lock)) {
        GTEST_SKIP() << "a Palomix window of this user is running";
    }
    // The two differ in their environment, which must not matter.
    const ScratchFolder scratch;
    const std::string runtime = scratch.MakeFolder("runtime");
    ::chmod(runtime.c_str(), 0700);

    const pid_t first = Spawn(program, {"XDG_RUNTIME_DIR=" + runtime, "QT_QPA_PLATFORM=offscreen"});
    ASSERT_GT(first, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!LockIsHeld(lock) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(LockIsHeld(lock));

    // The second never creates its window: it is gone long before an event loop could run,
    // and leaves the first untouched.
    const pid_t second = Spawn(program, {"QT_QPA_PLATFORM=offscreen"});
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
