// The Windows command-line rules: any text splits without fault into arguments and program
// readings that lie within it, and QuoteArgument gives back each argument exactly, alone and in
// a line of several.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/CommandLineSplit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace palomix;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    SplitArguments(text);
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(text);
    for (const ProgramCandidate& candidate : candidates) {
        PALOMIX_FUZZ_CHECK(candidate.rest.data() >= text.data() &&
                           candidate.rest.data() + candidate.rest.size() == text.data() + size);
        PALOMIX_FUZZ_CHECK(!candidate.program.empty() || text.find('"') != std::string::npos);
    }
    // Unquoted readings are the line's own text up to a blank, shortest first.
    if (candidates.size() > 1) {
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const ProgramCandidate& candidate = candidates[i];
            const std::size_t at = static_cast<std::size_t>(candidate.rest.data() - text.data());
            PALOMIX_FUZZ_CHECK(at >= candidate.program.size() &&
                               text.substr(at - candidate.program.size(),
                                           candidate.program.size()) == candidate.program);
            PALOMIX_FUZZ_CHECK(i == 0 ||
                               candidate.program.size() > candidates[i - 1].program.size());
        }
    }

    // The same bytes as arguments, cut at NUL bytes (which no command line can hold).
    std::vector<std::string> arguments;
    std::string line;
    FuzzedDataProvider input(data, size);
    while (input.remaining_bytes() > 0 && arguments.size() < 16) {
        std::string argument = input.ConsumeRandomLengthString(256);
        argument.erase(std::min(argument.find('\0'), argument.size()));
        PALOMIX_FUZZ_CHECK(SplitArguments(QuoteArgument(argument)) ==
                           std::vector<std::string>{argument});
        line += (arguments.empty() ? "" : " ") + QuoteArgument(argument);
        arguments.push_back(std::move(argument));
    }
    PALOMIX_FUZZ_CHECK(SplitArguments(line) == arguments);
    return 0;
}
