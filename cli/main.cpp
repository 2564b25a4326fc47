// palomix-batch: the conversion engine of Palomix for the terminal and for scripts.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/BatchCommand.h"
#include "platform/ProgramArguments.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> arguments = palomix::ProgramArguments(argc, argv);
        return palomix::RunPalomixBatch(arguments, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "palomix-batch: " << error.what() << '\n';
        return palomix::kBatchExitFailure;
    }
}
