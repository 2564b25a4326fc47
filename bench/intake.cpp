// Run: cmake --build build --target bench-intake && build/bench/bench-intake [FOLDER]
//
// The intake of a dropped folder of 100,000 files in 1,000 folders into the job list,
// timed against `find FOLDER > /dev/null` on the same tree (warm cache for both, several
// runs, best of each), and the memory the job list holds per job against the bound of
// twice the path's bytes plus 64. The tree is built under FOLDER (default: a folder in the
// system's temporary folder) and reused by later runs. Exits 1 when the intake takes more
// than twice as long as find or the memory bound is exceeded.
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchTree.h"
#include "engine/DropIntake.h"
#include "engine/JobQueue.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kGroups = 10;
constexpr int kFoldersPerGroup = 100;
constexpr int kFilesPerFolder = 100;
constexpr int kRuns = 7;

// root/group-N/folder-NNN/clip-NNNNN.mp4: 1,000 folders of 100 files each.
bool BuildTree(const std::string& root) {
    using palomix::bench::Number;
    return palomix::bench::BuildFileTree(
        root + "/.tree-complete", kGroups * kFoldersPerGroup, kFilesPerFolder, [&root](int f) {
            return root + "/group-" + Number(f / kFoldersPerGroup, 1) + "/folder-" + Number(f, 3);
        });
}

double RunFind(const std::string& root) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = {const_cast<char*>("find"), const_cast<char*>(root.c_str()), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        std::fprintf(stderr, "cannot start find\n");
        std::exit(2);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto end = Clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double, std::milli>(end - start).count();
}

struct IntakeRun {
    double milliseconds = 0;
    std::int32_t jobs = 0;
};

IntakeRun RunIntake(const std::string& root) {
    palomix::JobQueue queue;
    palomix::DropIntake intake(queue);
    const std::vector<std::string> drop = {root};
    const auto start = Clock::now();
    intake.TakeDrop(drop);
    const auto end = Clock::now();
    return {std::chrono::duration<double, std::milli>(end - start).count(), queue.JobCount()};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string root =
        argc > 1 ? std::string(argv[1])
                 : (std::filesystem::temp_directory_path() / "palomix-bench-intake").string();
    if (!BuildTree(root)) {
        return 2;
    }

    // Warm the cache for both.
    RunFind(root);
    RunIntake(root);

    std::vector<double> findTimes;
    std::vector<double> intakeTimes;
    std::int32_t jobs = 0;
    for (int run = 0; run < kRuns; ++run) {
        findTimes.push_back(RunFind(root));
        const IntakeRun intake = RunIntake(root);
        intakeTimes.push_back(intake.milliseconds);
        jobs = intake.jobs;
    }
    const double bestFind = *std::min_element(findTimes.begin(), findTimes.end());
    const double bestIntake = *std::min_element(intakeTimes.begin(), intakeTimes.end());
    const double ratio = bestIntake / bestFind;
    std::printf("jobs: %d\n", jobs);
    std::printf("find:   best %.1f ms of %d runs\n", bestFind, kRuns);
    std::printf("intake: best %.1f ms of %d runs\n", bestIntake, kRuns);
    std::printf("ratio intake/find: %.2f (bound 2.00)\n", ratio);

    // Memory held by the job list: the heap in use with the filled list, less the heap in
    // use before it, the intake's own buffers freed.
    const std::size_t before = mallinfo2().uordblks;
    std::size_t after = 0;
    double boundBytes = 0;
    std::int32_t count = 0;
    {
        palomix::JobQueue queue;
        {
            palomix::DropIntake intake(queue);
            const std::vector<std::string> drop = {root};
            intake.TakeDrop(drop);
        }
        malloc_trim(0);
        after = mallinfo2().uordblks;
        count = queue.JobCount();
        for (std::int32_t i = 0; i < count; ++i) {
            boundBytes += 2.0 * static_cast<double>(queue.JobPath(i).size()) + 64.0;
        }
    }
    const double perJob = static_cast<double>(after - before) / count;
    const double boundPerJob = boundBytes / count;
    std::printf("memory per job: %.1f bytes (bound 2 x path bytes + 64 = %.1f on average)\n",
                perJob, boundPerJob);

    const bool ok = ratio <= 2.0 && perJob <= boundPerJob;
    std::printf("%s\n", ok ? "OK" : "OUT OF BOUNDS");
    return ok ? 0 : 1;
}
