// Run: cmake --build build --target bench-window_drop && build/bench/bench-window_drop [FOLDER]
//
// A drop of one folder holding 100,000 files (1,000 folders of 100) onto the real window,
// timed from the drop until every row is in the grid's model and the grid has repainted,
// against the same drop into the core alone, with no window, in one run (warm cache, several
// runs each, best of each). Also the heap the window holds for those rows beyond the core's
// own. Exits 1 when the window takes more than twice as long as the intake alone
// or holds more than 60 MB extra. The window uses the offscreen platform unless
// QT_QPA_PLATFORM says otherwise; its converter never runs (a launcher that starts nothing).
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainForm1.h"
#include "app/StringGrid.h"
#include "bench/BenchTree.h"
#include "bench/WindowBench.h"
#include "engine/Engine.h"
#include "platform/FileSystem.h"
#include "widgets/FolderBrowseEdit.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
constexpr double kRatioBound = 2.0;
constexpr double kExtraMegabytesBound = 60.0;

// root/folder-NNN/clip-NNNNN.mp4, kept for later runs. The marker of a finished tree stands
// beside the root, so that the drop holds nothing else.
std::size_t HeapInUse() {
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double Milliseconds(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// The core of the window alone, over the same program folder, its converter never run.
std::unique_ptr<palomix::Engine> BareCore(const std::string& programFolder) {
    palomix::EngineSetup setup;
    setup.programFolder = programFolder;
    setup.makeLauncher = [](palomix::PostToHost) {
        return std::make_unique<palomix::bench::IdleLauncher>();
    };
    return std::make_unique<palomix::Engine>(std::move(setup), [](std::function<void()>) {});
}

double RunIntake(const std::string& root, const std::string& programFolder, std::int32_t& jobs) {
    const std::unique_ptr<palomix::Engine> core = BareCore(programFolder);
    const std::vector<std::string> drop = {root};
    const auto start = Clock::now();
    core->AddPaths(drop);
    const auto end = Clock::now();
    jobs = core->JobCount();
    return Milliseconds(start, end);
}

struct WindowRun {
    double milliseconds = 0;
    int modelRows = 0;
    std::size_t heapBefore = 0;  // window shown and painted, no job
    std::size_t heapAfter = 0;   // every row in, repainted
};

WindowRun RunWindow(const std::string& root, const std::string& programFolder, int expectedRows) {
    palomix::MainFormEnvironment environment =
        palomix::bench::BenchWindowEnvironment(programFolder, "");
    WindowRun run;
    auto form = std::make_unique<palomix::TMainForm1>(std::move(environment));
    form->FormActivate();
    form->BrowserEdit1->SetPath(programFolder + "/out");
    palomix::bench::PaintWatch watch;
    form->StringGrid2->viewport()->installEventFilter(&watch);
    form->show();
    palomix::bench::PaintNow(watch, *form, 1);
    run.heapBefore = HeapInUse();

    watch.painted = false;
    const std::vector<std::string> drop = {root};
    const auto start = Clock::now();
    form->FormDropFiles(drop);
    palomix::bench::PaintNow(watch, *form, expectedRows);
    const auto end = Clock::now();
    run.milliseconds = Milliseconds(start, end);
    run.modelRows = form->StringGrid2->model()->rowCount();
    run.heapAfter = HeapInUse();
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
        palomix::bench::BenchProgramFolder("palomix-bench-window-program");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    const int jobsExpected = palomix::bench::kDropFolders *
                             palomix::bench::kDropFilesPerFolder;  // folders are never jobs
    std::int32_t jobs = 0;
    RunIntake(root, programFolder, jobs);  // warm the cache
    std::vector<double> intakeTimes;
    std::vector<WindowRun> windowRuns;
    for (int run = 0; run < kRuns; ++run) {
        intakeTimes.push_back(RunIntake(root, programFolder, jobs));
        windowRuns.push_back(RunWindow(root, programFolder, jobs));
    }
    const double bestIntake = *std::min_element(intakeTimes.begin(), intakeTimes.end());
    const WindowRun& bestWindow = *std::min_element(
        windowRuns.begin(), windowRuns.end(),
        [](const WindowRun& a, const WindowRun& b) { return a.milliseconds < b.milliseconds; });
    const double ratio = bestWindow.milliseconds / bestIntake;

    // The core's own share: the core alone holding the same drop.
    std::size_t listBytes = 0;
    {
        const std::unique_ptr<palomix::Engine> core = BareCore(programFolder);
        const std::size_t before = HeapInUse();
        const std::vector<std::string> drop = {root};
        core->AddPaths(drop);
        listBytes = HeapInUse() - before;
    }
    std::size_t windowBytes = 0;
    for (const WindowRun& run : windowRuns) {
        windowBytes = std::max(windowBytes, run.heapAfter - run.heapBefore);
    }
    const double extraMegabytes =
        (static_cast<double>(windowBytes) - static_cast<double>(listBytes)) / (1024.0 * 1024.0);

    std::printf("jobs: %d (expected %d), model rows: %d\n", jobs, jobsExpected,
                bestWindow.modelRows);
    std::printf("core alone:           best %.1f ms of %d runs\n", bestIntake, kRuns);
    std::printf("window drop, painted: best %.1f ms of %d runs\n", bestWindow.milliseconds, kRuns);
    std::printf("ratio window/core: %.2f (bound %.2f)\n", ratio, kRatioBound);
    std::printf("heap for the rows: window %.1f MB, core alone %.1f MB\n",
                static_cast<double>(windowBytes) / (1024.0 * 1024.0),
                static_cast<double>(listBytes) / (1024.0 * 1024.0));
    std::printf("window's extra memory: %.1f MB (bound %.1f MB)\n", extraMegabytes,
                kExtraMegabytesBound);

    const bool ok = jobs == jobsExpected && bestWindow.modelRows == jobs && ratio <= kRatioBound &&
                    extraMegabytes <= kExtraMegabytesBound;
    std::printf("%s\n", ok ? "OK" : "OUT OF BOUNDS");
    return ok ? 0 : 1;
}
