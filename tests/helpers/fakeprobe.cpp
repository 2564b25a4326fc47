// Test helper: a media probe helper that speaks palomix-probe's questions and answers without
// reading any media. A path holding "crash" ends it by a signal, one holding "hang" makes it
// wait for ever; any other is a ten-second sound. When PALOMIX_TEST_PID_FILE names a file, it
// adds its process id there at its start, one per line.
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include <unistd.h>

int main() {
    if (const char* file = std::getenv("PALOMIX_TEST_PID_FILE")) {
        std::ofstream(file, std::ios::app) << ::getpid() << "\n";
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        const std::size_t blank = line.find(' ');
        std::string path(std::stoul(line.substr(blank + 1)), '\0');
        std::cin.read(path.data(), static_cast<std::streamsize>(path.size()));
        std::cin.get();
        if (path.find("crash") != std::string::npos) {
            std::raise(SIGSEGV);
        }
        while (path.find("hang") != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        std::cout << "index=0\ncodec_type=audio\nduration=10\nend_time=10\nformat_name=wav\n"
                     "duration=10\nread_to_end=1\nend\n"
                  << std::flush;
    }
}
