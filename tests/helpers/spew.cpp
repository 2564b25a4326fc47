// Test helper: writes the number of megabytes given (default 8) to standard output and as much
// again to standard error, in lines, then "spew done" on standard error.
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 8;
    const std::string line(1023, 'x');
    for (long i = 0; i < megabytes * 1024; ++i) {
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    std::fflush(stdout);
    std::fprintf(stderr, "spew done\n");
    return 0;
}
