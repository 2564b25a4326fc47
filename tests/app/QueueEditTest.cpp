// Editing the queue in the grid: rows selected with clicks, Shift, Ctrl and Ctrl+A, taken out
// with Delete or the context menu, moved to the top, a row's own stop, its output folder and
// its command lines. A row being converted never leaves but through a stop.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <chrono>

#include "app/JobGridModel.h"
#include "app/QueueContextMenu.h"
#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "tests/app/AppTestSupport.h"

namespace palomix::testing {
namespace {

// Runs the event loop for `time`, for what Qt does only after a delay of its own.
void RunEventLoopFor(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

class QueueEditTest : public WindowTest {
protected:
    // A window converting the first of `count` files with a command that runs until stopped.
    TMainForm1& Converting(int count) {
        TMainForm1& form = Ready(kHang);
        form.show();
        ProcessPending();
        for (int n = 0; n < count; ++n) {
            files_.push_back(scratch_.Write("in/f" + std::to_string(n) + ".avi", "v"));
        }
        form.FormDropFiles(files_);
        EXPECT_TRUE(form.Core().IsConverting(form.Core().Job(0).id));
        return form;
    }

    static std::vector<JobId> Ids(const TMainForm1& form, std::initializer_list<int> rows) {
        std::vector<JobId> ids;
        for (const int row : rows) {
            ids.push_back(form.Core().Job(row).id);
        }
        return ids;
    }

    static QAction* Item(QMenu& menu, const char* name) {
        return menu.findChild<QAction*>(QString::fromLatin1(name));
    }

    std::vector<std::string> files_;
};

TEST_F(QueueEditTest, ClicksWithShiftAndCtrlOrCtrlASelectRowsAndDeleteTakesOutTheWaitingOnes) {
    TMainForm1& form = Converting(6);
    ClickRow(form, 1);
    ClickRow(form, 3, Qt::ShiftModifier);
    ClickRow(form, 5, Qt::ControlModifier);
    ClickRow(form, 0, Qt::ControlModifier);  // the row being converted
    EXPECT_EQ(form.QueueMenu().SelectedJobs(), Ids(form, {0, 1, 2, 3, 5}));

    PressKey(form, Qt::Key_Delete);
    EXPECT_EQ(JobPaths(form), (std::vector<std::string>{files_[0], files_[4]}));
    EXPECT_TRUE(form.Core().IsConverting(form.Core().Job(0).id));
    EXPECT_EQ(form.RunStatus1->Status().toStdString(), "変換中: 残り 2 件");

    PressKey(form, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form.QueueMenu().SelectedJobs().size(), 2U);
    PressKey(form, Qt::Key_Delete);
    EXPECT_EQ(JobPaths(form), (std::vector<std::string>{files_[0]}));
    EXPECT_TRUE(form.Core().RunActive());
    form.Button1->click();  // only a stop ends it
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
}

TEST_F(QueueEditTest, TheContextMenuMovesStopsOpensTheOutputFolderAndCopiesTheLines) {
    TMainForm1& form = Converting(4);
    // A right click on a row that is not selected selects it and opens the menu over it.
    const QPoint at = form.StringGrid2->visualRect(form.StringGrid2->model()->index(2, 1)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at,
                            form.StringGrid2->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(form.StringGrid2->viewport(), &click);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(Item(*popup, "stopThisFile"), nullptr);  // a waiting row
    EXPECT_TRUE(Item(*popup, "removeFromQueue")->isEnabled());
    EXPECT_EQ(form.QueueMenu().SelectedJobs(), Ids(form, {2}));
    popup->close();

    // Over the row being converted: its own stop, and nothing that would take it out.
    ClickRow(form, 0);
    const std::unique_ptr<QMenu> head = form.QueueMenu().MakeMenu(0);
    EXPECT_TRUE(Item(*head, "stopThisFile")->isEnabled());
    EXPECT_FALSE(Item(*head, "removeFromQueue")->isEnabled());
    EXPECT_FALSE(Item(*head, "moveToTop")->isEnabled());
    EXPECT_TRUE(Item(*head, "removeAllWaiting")->isEnabled());

    ClickRow(form, 2);
    ClickRow(form, 3, Qt::ControlModifier);
    const JobId third = form.Core().Job(2).id;
    Item(*form.QueueMenu().MakeMenu(3), "moveToTop")->trigger();
    EXPECT_EQ(JobPaths(form),
              (std::vector<std::string>{files_[0], files_[2], files_[3], files_[1]}));
    EXPECT_EQ(form.QueueMenu().SelectedJobs(), Ids(form, {1, 2}));  // still selected

    Item(*form.QueueMenu().MakeMenu(1), "copyCommandLines")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), HelperPath("sleep") + "\n");
    // The output folder, or the nearest folder above it while the run has not made it.
    Item(*form.QueueMenu().MakeMenu(1), "openOutputFolder")->trigger();
    ASSERT_FALSE(opened_.empty());
    EXPECT_EQ(opened_.back(), outFolder_);
    EXPECT_EQ(form.QueueMenu().OutputFolderOf(third), outFolder_);
    form.BrowserEdit1->SetPath(outFolder_ + "/not/yet");
    EXPECT_EQ(form.QueueMenu().OutputFolderOf(third), outFolder_);

    Item(*head, "stopThisFile")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return form.Core().Job(0).path == files_[2]; }));
    ASSERT_TRUE(WaitUntil([&] { return form.Core().IsConverting(form.Core().Job(0).id); }));
    Item(*form.QueueMenu().MakeMenu(-1), "removeAllWaiting")->trigger();
    EXPECT_EQ(JobPaths(form), (std::vector<std::string>{files_[2]}));
    form.Button1->click();
    ASSERT_TRUE(WaitUntil([&] { return Idle(form); }));
}

TEST_F(QueueEditTest, ClickingARowDoesNotSlideTheGridSideways) {
    // More rows than the grid shows: a scroll bar beside them takes from the columns' room.
    TMainForm1& form = Converting(30);
    ProcessPending();
    TStringGrid& grid = *form.StringGrid2;
    ASSERT_TRUE(grid.verticalScrollBar()->isVisible());
    QWidget& viewport = *grid.viewport();
    const int nameLeft = grid.columnViewportPosition(kFileNameColumn);
    ASSERT_EQ(nameLeft, grid.columnWidth(kStatusColumn));
    for (const int row : {3, 1, 7}) {
        // In the file name column, as far right as it shows.
        const QPoint at(viewport.width() - 4, grid.rowViewportPosition(row) + 4);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, viewport.mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(&viewport, &event);
        }
        // A click scrolls to its cell only after the time a double click could take.
        RunEventLoopFor(std::chrono::milliseconds(QApplication::doubleClickInterval() + 150));
        EXPECT_TRUE(grid.selectionModel()->isRowSelected(row, {})) << row;
        EXPECT_EQ(grid.horizontalScrollBar()->value(), 0) << row;
        EXPECT_EQ(grid.columnViewportPosition(kFileNameColumn), nameLeft) << row;
    }
    // A move across the columns still brings the full path into view.
    PressKey(form, Qt::Key_Right);
    PressKey(form, Qt::Key_Right);
    EXPECT_GT(grid.horizontalScrollBar()->value(), 0);
}

}  // namespace
}  // namespace palomix::testing
