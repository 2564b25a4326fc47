// Test helper: sleeps for the number of seconds given, or for ever without one.
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc > 1) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[1])));
        return 0;
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}
