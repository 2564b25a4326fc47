// palomix-batch: the conversion engine of Palomix for the terminal and for scripts.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/BatchCommand.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        return palomix::RunPalomixBatch(arguments, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "palomix-batch: " << error.what() << '\n';
        return palomix::kBatchExitFailure;
    }
}
