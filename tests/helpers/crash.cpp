// Test helper: ends by a signal, SIGSEGV with "segv", SIGABRT otherwise. No core file is
// written.
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (argc > 1 && std::strcmp(argv[1], "segv") == 0) {
        std::raise(SIGSEGV);
    }
    std::abort();
}
