// Run: cmake --build build --target bench-queue_save && build/bench/bench-queue_save [FOLDER]
//
// The cost of keeping the queue for the next start. A drop of one folder holding 100,000 files
// (1,000 folders of 100, the tree of bench-window_drop) onto the real window, timed from the
// drop until every row is in the grid and the grid has repainted, with the queue being kept
// against the same drop without it (several runs each, best of each). The drop comes onto an
// idle window, so the saver copies the list a moment after it. Then, while the queue keeps
// changing for three seconds (so that the whole list is copied every second and written on the
// saver's thread), the longest stall of the event loop: the longest time between two turns of
// a 1 ms timer, with and without saving. Exits 1 when saving makes the drop more than 1.1 times
// as slow or stalls the loop for more than 50 ms. The window uses the offscreen platform unless
// QT_QPA_PLATFORM says otherwise; its converter never runs (a launcher that starts nothing).
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/MainForm1.h"
#include "app/QueueSaver.h"
#include "app/StringGrid.h"
#include "bench/BenchTree.h"
#include "bench/WindowBench.h"
#include "platform/FileSystem.h"
#include "widgets/FolderBrowseEdit.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 7;
constexpr double kRatioBound = 1.1;
constexpr double kStallBoundMs = 50.0;
constexpr auto kEditTime = std::chrono::seconds(3);

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

struct Run {
    double dropMs = 0;          // drop until painted
    double writtenMs = 0;       // drop until the queue file held the whole list (saving only)
    double longestStallMs = 0;  // while the list was edited
    int rows = 0;
};

Run RunWindow(const std::string& root, const std::string& programFolder,
              const std::string& queueFile, int rows) {
    std::filesystem::remove(queueFile.empty() ? programFolder + "/none" : queueFile);
    palomix::MainFormEnvironment environment =
        palomix::bench::BenchWindowEnvironment(programFolder, queueFile);
    Run run;
    auto form = std::make_unique<palomix::TMainForm1>(std::move(environment));
    form->FormActivate();
    form->BrowserEdit1->SetPath(programFolder + "/out");
    palomix::bench::PaintWatch watch;
    form->StringGrid2->viewport()->installEventFilter(&watch);
    form->show();
    palomix::bench::PaintNow(watch, *form, 1);
    // The saver has written the empty list of the start, and the second since has passed, so
    // that the drop's list is copied at once, as when files are dropped onto an idle window.
    while (form->Saver() != nullptr && form->Saver()->Written() == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    const auto idle = Clock::now() + std::chrono::milliseconds(1100);
    while (Clock::now() < idle) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    watch.painted = false;
    const std::uint64_t writtenBefore = form->Saver() ? form->Saver()->Written() : 0;
    const std::vector<std::string> drop = {root};
    const auto start = Clock::now();
    form->FormDropFiles(drop);
    palomix::bench::PaintNow(watch, *form, rows);
    run.dropMs = Milliseconds(Clock::now() - start);
    run.rows = form->StringGrid2->model()->rowCount();
    if (form->Saver() != nullptr) {
        while (form->Saver()->Written() == writtenBefore) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        run.writtenMs = Milliseconds(Clock::now() - start);
    }

    // The queue keeps changing (its output folder, every 50 ms, which costs the window next to
    // nothing but makes the saver copy and write the whole list every second); the loop's
    // turns are timed.
    QTimer edit;
    int edits = 0;
    QObject::connect(&edit, &QTimer::timeout, [&] {
        form->BrowserEdit1->SetPath(programFolder + "/out" + std::to_string(++edits % 2));
    });
    edit.start(50);
    QTimer beat;
    auto last = Clock::now();
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        run.longestStallMs = std::max(run.longestStallMs, Milliseconds(now - last));
        last = now;
    });
    beat.start(1);
    const auto end = Clock::now() + kEditTime;
    last = Clock::now();
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    form->StringGrid2->viewport()->removeEventFilter(&watch);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string root =
        argc > 1 ? std::string(argv[1])
                 : (std::filesystem::temp_directory_path() / "palomix-bench-window-drop").string();
    if (!palomix::bench::BuildDropTree(root)) {
        return 2;
    }
    const std::string programFolder =
        palomix::bench::BenchProgramFolder("palomix-bench-queue-program");
    const std::string queueFile = programFolder + "/Palomix.queue";

    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    const int rows = palomix::bench::kDropFolders * palomix::bench::kDropFilesPerFolder;
    RunWindow(root, programFolder, "", rows);  // warm the cache
    std::vector<Run> without;
    std::vector<Run> with;
    for (int run = 0; run < kRuns; ++run) {
        without.push_back(RunWindow(root, programFolder, "", rows));
        with.push_back(RunWindow(root, programFolder, queueFile, rows));
    }
    const auto best = [](const std::vector<Run>& runs, double Run::*field) {
        double value = runs.front().*field;
        for (const Run& run : runs) {
            value = std::min(value, run.*field);
        }
        return value;
    };
    const auto worst = [](const std::vector<Run>& runs, double Run::*field) {
        double value = 0;
        for (const Run& run : runs) {
            value = std::max(value, run.*field);
        }
        return value;
    };
    const double dropWithout = best(without, &Run::dropMs);
    const double dropWith = best(with, &Run::dropMs);
    const double ratio = dropWith / dropWithout;
    const double stallWith = worst(with, &Run::longestStallMs);
    const double stallWithout = worst(without, &Run::longestStallMs);
    const auto fileSize = palomix::FileSizeOf(queueFile).value_or(0);

    std::printf("rows: %d (expected %d)\n", with.front().rows, rows);
    std::printf("drop, painted, without saving: best %.1f ms of %d runs\n", dropWithout, kRuns);
    std::printf("drop, painted, with saving:    best %.1f ms of %d runs\n", dropWith, kRuns);
    std::printf("ratio with/without: %.3f (bound %.2f)\n", ratio, kRatioBound);
    std::printf("queue file written whole: best %.1f ms after the drop; %.1f MB at the end\n",
                best(with, &Run::writtenMs), static_cast<double>(fileSize) / (1024.0 * 1024.0));
    std::printf("longest event-loop stall while the list is edited, worst of %d runs:\n", kRuns);
    std::printf("  with saving %.1f ms (bound %.0f ms), without saving %.1f ms\n", stallWith,
                kStallBoundMs, stallWithout);

    const bool ok = with.front().rows == rows && ratio <= kRatioBound && stallWith <= kStallBoundMs;
    std::printf("%s\n", ok ? "OK" : "OUT OF BOUNDS");
    return ok ? 0 : 1;
}
