// Test helper: runs its first argument through the system's shell (std::system) and waits for
// it, like a converter that runs a helper program of its own.
#include <cstdlib>

int main(int argc, char** argv) {
    return argc > 1 ? std::system(argv[1]) : 2;
}
