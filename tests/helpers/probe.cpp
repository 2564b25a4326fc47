// Test helper: writes what a child sees of its start to the file named by its first argument,
// one "key=value" line each: pid, pgid, niceness, the current folder, whether standard input
// is the null device and, when a second argument names one, the value of that environment variable.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        return 3;
    }
    char folder[4096] = {};
    struct stat input {};
    struct stat null {};
    const bool inputIsNull = fstat(0, &input) == 0 && stat("/dev/null", &null) == 0 &&
                             input.st_dev == null.st_dev && input.st_ino == null.st_ino;
    std::fprintf(out, "pid=%ld\npgid=%ld\nnice=%d\ncwd=%s\nstdin=%s\n", static_cast<long>(getpid()),
                 static_cast<long>(getpgrp()), getpriority(PRIO_PROCESS, 0),
                 getcwd(folder, sizeof folder) != nullptr ? folder : "?",
                 inputIsNull ? "null" : "other");
    if (argc > 2) {
        const char* value = std::getenv(argv[2]);
        std::fprintf(out, "env=%s\n", value != nullptr ? value : "(unset)");
    }
    return std::fclose(out) == 0 ? 0 : 4;
}
