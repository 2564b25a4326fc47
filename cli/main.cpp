// palomix-batch: the conversion engine of Palomix for the terminal and for scripts.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/BatchCommand.h"
#include "cli/PrintableText.h"
#include "platform/ConsoleText.h"
#include "platform/ProgramArguments.h"
#include "platform/StandardStreams.h"

int main(int argc, char** argv) {
    // First of all, so that no file opened later takes the place of a closed standard stream.
    const palomix::ClosedStandardStreams closed = palomix::HoldClosedStandardStreams();
    // UTF-8 to files and pipes, whole characters to a console (which may not be set to UTF-8).
    palomix::ConsoleTextStream out(palomix::StandardStream::Output);
    palomix::ConsoleTextStream err(palomix::StandardStream::Error);
    // Standard input is read through std::cin alone (the paths of "-"), so it need not keep
    // in step with C's stdio, which is much slower for a long list.
    std::ios::sync_with_stdio(false);
    if (closed.input) {
        std::cin.setstate(std::ios::badbit);  // a list from a closed input cannot be read
    }
    try {
        const std::vector<std::string> arguments = palomix::ProgramArguments(argc, argv);
        return palomix::RunPalomixBatch(arguments, std::cin, out, err,
                                        {palomix::IsTerminal(palomix::StandardStream::Output),
                                         palomix::IsTerminal(palomix::StandardStream::Error)});
    } catch (const std::exception& error) {
        err << palomix::PrintableLine(std::string("palomix-batch: ") + error.what());
        err.flush();
        return palomix::kBatchExitFailure;
    }
}
