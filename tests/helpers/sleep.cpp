// Test helper: sleeps for the number of seconds its first argument gives, or for ever when it
// gives none (no argument, or one that is not a number, such as an output's name).
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc > 1 && std::isdigit(static_cast<unsigned char>(argv[1][0])) != 0) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[1])));
        return 0;
    }
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}
