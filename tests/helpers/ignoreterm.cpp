// Test helper: ignores the terminate signal, creates the file named by its first argument to
// say so, then sleeps for ever.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

int main(int argc, char** argv) {
    std::signal(SIGTERM, SIG_IGN);
    if (argc > 1) {
        if (std::FILE* ready = std::fopen(argv[1], "w")) {
            std::fclose(ready);
        }
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}
