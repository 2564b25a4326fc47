#include "platform/ProgramArguments.h"

namespace palomix {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // POSIX file names are bytes; the program treats them as UTF-8 as they are.
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace palomix
