// Run: cmake --build build --target palomix-batch palomix_program_folder bench-e2e_phone &&
//      build/bench/bench-e2e_phone [PROGRAM_FOLDER]
//
// What palomix-batch adds to a real conversion: one 10-second 1280x720 clip (made with
// ffmpeg) converted by the shipped phone command "MP4 H.264/AAC up to 1280x720 (HD)" (row 1 of
// phone_tablet.ini) through palomix-batch, against the same ffmpeg command line started
// directly. The command line is the one palomix-batch --dry-run prints, split into arguments
// by the same rules the launcher uses. Five runs of each, interleaved (the order alternates
// from pair to pair); printed are the times, the median of the five ratios and the ratio of
// the medians, and the median ratio of the CPU times (palomix-batch's including its ffmpeg),
// which a busy machine disturbs far less. Exits 1 when the median ratio is above 1.02.
// PROGRAM_FOLDER is the folder of palomix-batch with convert_settings/ and cores/ (default: ../bin
// beside this program).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/ExecutablePath.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;
constexpr double kTarget = 1.02;

struct Output {
    int exitCode = -1;
    double cpuSeconds = 0;  // user and system time of the program and the children it waited for
    std::string out;
};

// Runs a program with standard input from the null device and standard error thrown away;
// standard output is kept when `keepOutput` is set, else thrown away too.
Output Run(const std::vector<std::string>& arguments, bool keepOutput) {
    const fs::path outFile = fs::temp_directory_path() / "palomix-bench-e2e-out.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, keepOutput ? outFile.c_str() : "/dev/null",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    Output output;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return output;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    output.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    output.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (keepOutput) {
        std::ifstream in(outFile, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        output.out = text.str();
        fs::remove(outFile);
    }
    return output;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path program =
        argc > 1 ? fs::path(argv[1]) : fs::path(palomix::ExecutableFolder()) / ".." / "bin";
    const std::string batch = (program / "palomix-batch").string();
    const std::string ffmpeg = (program / "cores" / "ffmpeg").string();
    if (access(batch.c_str(), X_OK) != 0 || access(ffmpeg.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "needs %s and %s (build palomix-batch and palomix_program_folder)\n",
                     batch.c_str(), ffmpeg.c_str());
        return 2;
    }

    std::string pattern = (fs::temp_directory_path() / "palomix-bench-e2e-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path work = pattern;
    const std::string clip = (work / "clip.mp4").string();
    const std::string out = (work / "out").string();
    const auto cleanUp = [&work] {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    };

    std::printf("making a 10-second 1280x720 clip...\n");
    if (Run({ffmpeg,
             "-nostdin",
             "-y",
             "-f",
             "lavfi",
             "-i",
             "testsrc2=size=1280x720:rate=30:duration=10",
             "-f",
             "lavfi",
             "-i",
             "sine=frequency=440:duration=10",
             "-c:v",
             "libx264",
             "-preset",
             "veryfast",
             "-pix_fmt",
             "yuv420p",
             "-c:a",
             "aac",
             "-shortest",
             clip},
            false)
            .exitCode != 0) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        cleanUp();
        return 2;
    }

    const std::vector<std::string> batchRun = {
        batch, "--settings", "phone_tablet.ini", "--command", "1", "--output", out, clip};
    std::vector<std::string> dryRun = batchRun;
    dryRun.insert(dryRun.begin() + 1, "--dry-run");
    const Output dry = Run(dryRun, true);
    const std::string line = dry.out.substr(0, dry.out.find('\n'));
    std::vector<std::string> direct;
    for (const palomix::ProgramCandidate& candidate : palomix::ProgramCandidates(line)) {
        if (const std::string program(candidate.program); access(program.c_str(), X_OK) == 0) {
            direct = palomix::SplitArguments(candidate.rest);
            direct.insert(direct.begin(), program);
            break;
        }
    }
    if (dry.exitCode != 0 || direct.empty()) {
        std::fprintf(stderr, "no command line from the dry run: %s\n", dry.out.c_str());
        cleanUp();
        return 2;
    }
    std::printf("command line: %s\n", line.c_str());
    fs::create_directories(out);

    std::vector<double> batchTimes;
    std::vector<double> directTimes;
    std::vector<double> ratios;
    std::vector<double> cpuRatios;
    for (int run = 0; run < kRuns; ++run) {
        double times[2] = {};
        double cpu[2] = {};
        for (int turn = 0; turn < 2; ++turn) {
            // Batch first in even pairs, direct first in odd ones.
            const bool viaBatch = (turn == 0) == (run % 2 == 0);
            const Clock::time_point start = Clock::now();
            const Output output = Run(viaBatch ? batchRun : direct, false);
            const double seconds = Seconds(Clock::now() - start);
            const int exitCode = output.exitCode;
            if (exitCode != 0) {
                std::fprintf(stderr, "%s failed with exit code %d\n",
                             viaBatch ? "palomix-batch" : "ffmpeg", exitCode);
                cleanUp();
                return 2;
            }
            times[viaBatch ? 0 : 1] = seconds;
            cpu[viaBatch ? 0 : 1] = output.cpuSeconds;
        }
        batchTimes.push_back(times[0]);
        directTimes.push_back(times[1]);
        ratios.push_back(times[0] / times[1]);
        cpuRatios.push_back(cpu[0] / cpu[1]);
        std::printf(
            "run %d: palomix-batch %.3f s, ffmpeg %.3f s, ratio %.4f (CPU time ratio %.4f)\n",
            run + 1, times[0], times[1], ratios.back(), cpuRatios.back());
        std::fflush(stdout);
    }
    cleanUp();

    const double medianRatio = Median(ratios);
    std::printf("median palomix-batch %.3f s, median ffmpeg %.3f s\n", Median(batchTimes),
                Median(directTimes));
    std::printf("median ratio %.4f, ratio of medians %.4f (target <= %.2f)\n", medianRatio,
                Median(batchTimes) / Median(directTimes), kTarget);
    // CPU time hardly depends on what else the machine is doing, unlike the elapsed time.
    std::printf("median CPU time ratio %.4f\n", Median(cpuRatios));
    return medianRatio <= kTarget ? 0 : 1;
}
