// Run: cmake --build build --target bench-watch && build/bench/bench-watch [FOLDER]
//
// Watched folders through the core's door with the system's events (inotify), as palomix-batch
// watches:
// 1. the time from a file's last write to the start of its conversion, for 10 files written one
//    after the other, against the target of the settle time (2 s) + 200 ms;
// 2. the cost of watching an idle folder of 100,000 files that were all converted before (their
//    record read at the start): the CPU share between rescans (target 1 %), the cost of one
//    rescan and its share at the default rescan every 60 s, and the memory per known file
//    (target 100 bytes).
// The folder of 100,000 files is built under FOLDER (default: a folder in the system's temporary
// folder) and reused by later runs. Exits 1 when a target is missed.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchTree.h"
#include "engine/Engine.h"
#include "engine/watch/WatchRecord.h"
#include "platform/AtomicFile.h"
#include "platform/FolderScan.h"
#include "settings/QueueFile.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kIdleFiles = 100'000;

// The host's thread: tasks posted by the events' and launcher's threads, run in order.
class BenchLoop {
public:
    palomix::PostToHost Poster() {
        return [this](std::function<void()> task) {
            {
                const std::lock_guard lock(mutex_);
                tasks_.push_back(std::move(task));
            }
            posted_.notify_one();
        };
    }
    // Runs the tasks until `until`, or until `done` holds.
    void RunUntil(Clock::time_point until, const std::function<bool()>& done = {}) {
        while (Clock::now() < until && !(done && done())) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex_);
                if (!posted_.wait_until(lock, until, [this] { return !tasks_.empty(); })) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> tasks_;
};

// Starts nothing: notes when each command line was started, and ends it at once.
class NotingLauncher final : public palomix::ProcessLauncher {
public:
    NotingLauncher(palomix::PostToHost post, std::map<std::string, Clock::time_point>& started)
        : post_(std::move(post)), started_(started) {}
    palomix::LaunchResult Launch(const std::string& commandLine,
                                 palomix::ProcessEndedHandler onEnded) override {
        const auto now = Clock::now();
        const std::size_t start = commandLine.find('"') + 1;
        started_.emplace(commandLine.substr(start, commandLine.find('"', start) - start), now);
        palomix::LaunchResult result;
        result.launched = true;
        result.handle = palomix::ProcessHandle{++next_};
        post_([onEnded = std::move(onEnded), handle = result.handle] {
            onEnded(handle, palomix::ProcessExit{});
        });
        return result;
    }
    // The run's options (priority, time limit) change nothing here.
    palomix::LaunchResult Launch(const std::string& commandLine,
                                 const palomix::LaunchOptions& /*options*/,
                                 palomix::ProcessEndedHandler onEnded) override {
        return Launch(commandLine, std::move(onEnded));
    }
    bool Terminate(palomix::ProcessHandle /*handle*/) override { return false; }
    void DiscardLog(palomix::ProcessHandle /*handle*/) override {}

private:
    palomix::PostToHost post_;
    std::map<std::string, Clock::time_point>& started_;
    std::uint64_t next_ = 0;
};

struct Bench {
    std::string root;
    std::string settings;
    BenchLoop loop;
    std::map<std::string, Clock::time_point> started;

    std::unique_ptr<palomix::Engine> MakeEngine(const palomix::WatchTiming& timing) {
        palomix::EngineSetup setup;
        setup.programFolder = root;
        setup.watchRecordFolder = root + "/records";
        setup.makeLauncher = [this](palomix::PostToHost post) {
            return std::make_unique<NotingLauncher>(std::move(post), started);
        };
        auto engine = std::make_unique<palomix::Engine>(std::move(setup), loop.Poster());
        engine->SetWatchTiming(timing);
        engine->SetSimultaneousJobs(16);
        return engine;
    }
    palomix::WatchSettings Watch(const std::string& folder) const {
        return palomix::WatchSettings{folder, {settings, 0}, root + "/out", false, false};
    }
};

// Starts the run whenever a watch has queued files, as palomix-batch does.
class Starter final : public palomix::EngineObserver {
public:
    explicit Starter(palomix::Engine& engine) : engine_(engine) {}
    void WatchQueued(palomix::WatchId /*id*/, std::int32_t /*count*/) override {
        engine_.StartRun();
    }

private:
    palomix::Engine& engine_;
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// 1. Last write to conversion start, with the default settle time.
bool MeasureLatency(Bench& bench) {
    const std::string folder = bench.root + "/arrivals";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    palomix::WatchTiming timing;
    const auto engine = bench.MakeEngine(timing);
    Starter starter(*engine);
    engine->SetObserver(&starter);
    engine->AddWatch(bench.Watch(folder));
    std::map<std::string, Clock::time_point> written;
    for (int n = 0; n < 10; ++n) {
        const std::string path = folder + "/clip-" + std::to_string(n) + ".mp4";
        {
            std::ofstream file(path, std::ios::binary);
            for (int piece = 0; piece < 20; ++piece) {
                file << std::string(64 * 1024, 'v') << std::flush;
            }
        }
        written[path] = Clock::now();
        bench.loop.RunUntil(Clock::now() + 150ms);
    }
    bench.loop.RunUntil(Clock::now() + timing.settle + 2s,
                        [&] { return bench.started.size() >= written.size(); });
    // Every job's end handled before the engine goes.
    bench.loop.RunUntil(Clock::now() + 5s,
                        [&] { return !engine->RunActive() && engine->JobCount() == 0; });
    std::vector<double> latencies;
    for (const auto& [path, at] : written) {
        const auto found = bench.started.find(path);
        if (found == bench.started.end()) {
            std::printf("  %s was not started\n", path.c_str());
            return false;
        }
        latencies.push_back(std::chrono::duration<double, std::milli>(found->second - at).count());
    }
    std::sort(latencies.begin(), latencies.end());
    const double target = std::chrono::duration<double, std::milli>(timing.settle).count() + 200;
    std::printf("1. last write to conversion start, 10 files, settle %.0f ms:\n", target - 200);
    std::printf("   median %.0f ms, longest %.0f ms (target %.0f ms): %.2f of the target\n",
                latencies[latencies.size() / 2], latencies.back(), target,
                latencies.back() / target);
    return latencies.back() <= target;
}

// A record of the watch in which every file of the folder was converted.
void WriteRecord(Bench& bench, const std::string& folder) {
    const palomix::WatchSettings settings = bench.Watch(folder);
    std::string text = "Palomix watch record 1\nfolder=" + palomix::EscapeQueueName(folder) + "\n";
    palomix::ScanFolder(folder, [&text](const palomix::FolderEntry& entry) {
        if (entry.kind == palomix::FolderEntry::Kind::File && entry.name.front() != '.') {
            text += "done\t" + std::to_string(entry.size) + '\t' +
                    std::to_string(entry.modifiedNs) + "\t0\t" + std::string(entry.name) + '\n';
        }
    });
    const std::string path = palomix::WatchRecordPath(bench.root + "/records", settings);
    std::filesystem::create_directories(bench.root + "/records");
    palomix::WriteFileAtomically(path, text);
}

struct IdleCost {
    double firstLookMs = 0;
    double bytesPerFile = 0;
    double cpuShare = 0;  // over the window measured
};

IdleCost WatchIdle(Bench& bench, const std::string& folder, palomix::WatchTiming timing,
                   std::chrono::seconds window) {
    IdleCost cost;
    malloc_trim(0);
    const std::size_t before = mallinfo2().uordblks;
    const auto engine = bench.MakeEngine(timing);
    const auto start = Clock::now();
    const palomix::WatchId id = engine->AddWatch(bench.Watch(folder));
    cost.firstLookMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    malloc_trim(0);
    cost.bytesPerFile = static_cast<double>(mallinfo2().uordblks - before) / kIdleFiles;
    if (engine->Watch(id)->converted != kIdleFiles || engine->JobCount() != 0) {
        std::printf("   the record was not read whole\n");
    }
    bench.loop.RunUntil(Clock::now() + 1s);  // what the first look asked for
    const double cpuBefore = CpuSeconds();
    const auto windowStart = Clock::now();
    bench.loop.RunUntil(windowStart + window);
    const double elapsed = std::chrono::duration<double>(Clock::now() - windowStart).count();
    cost.cpuShare = (CpuSeconds() - cpuBefore) / elapsed;
    return cost;
}

// 2. An idle folder of 100,000 converted files.
bool MeasureIdle(Bench& bench, const std::string& treeRoot) {
    const std::string folder = treeRoot + "/idle";
    if (!palomix::bench::BuildFileTree(treeRoot + "/.idle-complete", 1, kIdleFiles,
                                       [&folder](int) { return folder; })) {
        return false;
    }
    WriteRecord(bench, folder);
    palomix::WatchTiming timing;
    const IdleCost idle = WatchIdle(bench, folder, timing, 20s);
    timing.rescan = 2s;
    const IdleCost rescanning = WatchIdle(bench, folder, timing, 20s);
    const double rescanMs = rescanning.cpuShare * 2000;
    std::printf("2. an idle folder of %d converted files:\n", kIdleFiles);
    std::printf("   first look with the record read: %.0f ms\n", idle.firstLookMs);
    std::printf("   CPU between rescans: %.3f %% (target 1 %%)\n", idle.cpuShare * 100);
    std::printf("   one rescan: %.0f ms of CPU, %.2f %% at one every 60 s\n", rescanMs,
                rescanMs / 600);
    std::printf("   memory per known file: %.0f bytes (target 100): %.2f of the target\n",
                idle.bytesPerFile, idle.bytesPerFile / 100);
    return idle.cpuShare <= 0.01 && idle.bytesPerFile <= 100;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string treeRoot =
        argc > 1 ? std::string(argv[1])
                 : (std::filesystem::temp_directory_path() / "palomix-bench-watch").string();
    Bench bench;
    bench.root = (std::filesystem::temp_directory_path() /
                  ("palomix-bench-watch-run-" + std::to_string(::getpid())))
                     .string();
    std::filesystem::create_directories(bench.root + "/out");
    bench.settings = bench.root + "/watch.ini";
    std::ofstream(bench.settings) << "[Item0]\nTitle=t\nCommand0=conv \"<%InputFile%>\" "
                                     "\"<%OutputFile%>.mp3\"\n";
    const bool latency = MeasureLatency(bench);
    const bool idle = MeasureIdle(bench, treeRoot);
    std::filesystem::remove_all(bench.root);
    std::printf("%s\n", latency && idle ? "OK" : "OUT OF BOUNDS");
    return latency && idle ? 0 : 1;
}
