// Test helper: a converter that copies the file named by its first argument to the file named
// by its second, in small pieces. A third argument changes how it ends: "fail" writes half and
// exits with 1, "hang" writes half and then waits to be stopped.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const std::string how = argc > 3 ? argv[3] : "";
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        return 3;
    }
    std::vector<char> bytes;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        bytes.push_back(static_cast<char>(c));
    }
    std::fclose(in);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        return 4;
    }
    const std::size_t end = how.empty() ? bytes.size() : bytes.size() / 2;
    std::fwrite(bytes.data(), 1, end, out);
    std::fflush(out);
    if (how == "hang") {
        std::this_thread::sleep_for(std::chrono::seconds(600));
    }
    std::fclose(out);
    return how == "fail" ? 1 : 0;
}
