// The window under a real window manager, which puts a frame around it: the position it is
// closed at is the position it comes back at, start after start. Run by
// tests/app/window_manager_test.sh under Xvfb with openbox; skipped elsewhere.
#include <gtest/gtest.h>
#include <QGuiApplication>
#include <QWindow>

#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

using WindowManagerTest = WindowTest;

// The frame's place once the window manager has framed the window and it has stopped moving;
// nullopt when that does not happen in time.
std::optional<QPoint> SettledFramePosition(const TMainForm1& form) {
    std::optional<QPoint> last;
    int steady = 0;
    const bool settled = WaitUntil(
        [&] {
            if (form.frameGeometry() == form.geometry()) {
                return false;  // no frame yet
            }
            const QPoint now = form.frameGeometry().topLeft();
            steady = last == now ? steady + 1 : 0;
            last = now;
            return steady >= 4;
        },
        std::chrono::seconds(8));
    return settled ? last : std::nullopt;
}

TEST_F(WindowManagerTest, ThePositionStaysThePlaceItWasClosedAtOverThreeRestarts) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
        qEnvironmentVariableIsEmpty("PALOMIX_WINDOW_MANAGER")) {
        GTEST_SKIP() << "needs an X display with a window manager (window_manager_test.sh)";
    }
    const QPoint place(400, 200);
    {
        TMainForm1& form = MakeForm();
        form.show();
        ASSERT_TRUE(SettledFramePosition(form));
        form.windowHandle()->setFramePosition(place);  // the user moves it
        ASSERT_TRUE(WaitUntil([&] { return form.frameGeometry().topLeft() == place; },
                              std::chrono::seconds(8)));
        ASSERT_TRUE(form.close());
    }
    for (int start = 1; start <= 3; ++start) {
        SCOPED_TRACE(start);
        TMainForm1& form = MakeForm();
        form.show();
        const std::optional<QPoint> restored = SettledFramePosition(form);
        ASSERT_TRUE(restored);
        EXPECT_EQ(*restored, place);
        EXPECT_NE(form.geometry().topLeft(), place);  // the client area lies inside the frame
        ASSERT_TRUE(form.close());
    }
}

}  // namespace
}  // namespace palomix::testing
