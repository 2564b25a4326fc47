// Test helper: writes its arguments, argument 0 included, each ended by a NUL byte, to the
// file named by the environment variable PALOMIX_ARGS_OUT.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* out = std::getenv("PALOMIX_ARGS_OUT");
    if (out == nullptr) {
        return 2;
    }
    std::FILE* file = std::fopen(out, "wb");
    if (file == nullptr) {
        return 3;
    }
    for (int i = 0; i < argc; ++i) {
        std::fputs(argv[i], file);
        std::fputc('\0', file);
    }
    return std::fclose(file) == 0 ? 0 : 4;
}
