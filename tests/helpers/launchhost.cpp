// Test helper: a launcher's host. Launches the command line given as its second argument with
// the system launcher, writes the command's log path to the file named by its first argument,
// then waits for ever, so that a test can kill it while the command runs.
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/ProcessLauncher.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const std::unique_ptr<palomix::ProcessLauncher> launcher =
        palomix::SystemProcessLauncher([](std::function<void()>) {});
    const palomix::LaunchResult launched = launcher->Launch(argv[2], [](auto, auto) {});
    if (!launched.launched) {
        return 3;
    }
    std::ofstream(argv[1]) << launched.logPath;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}
