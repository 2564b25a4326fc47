// Template, command line, split: a job path and an output folder of any bytes but NUL put into
// a template by PrepareCommandLine (POSIX path style, no drives attached) come back from the
// launcher's split (ProgramCandidates, then SplitArguments) as the arguments the template
// names, each exactly one argument, byte for byte, whatever quotes and backslashes they hold.
// And a template prepared once for every job (CompiledTemplate) gives exactly the line that
// PrepareCommandLine gives, for these shapes and for any template, in both path styles, and
// where it reads the line from the template's own reading, the launcher's reading of it.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CommandLine.h"
#include "engine/DeviceOutputFakes.h"
#include "fuzz/FuzzSupport.h"
#include "platform/CommandLineSplit.h"
#include "platform/PathRules.h"

namespace {

using palomix::PathStyle;

// The shapes of template tried, and the arguments each must give (after the program "prog"):
// the job path (I) and output names (O: output folder, '/', BaseName, then the extension).
struct Shape {
    std::string_view commandTemplate;
    std::string_view expected;  // one letter per argument: I, or O followed by its extension
    // A shape the program does not get right yet: left out unless PALOMIX_FUZZ_ALL_SHAPES is
    // set in the environment, and to be set to false in the change that mends it.
    bool knownFault = false;
};
constexpr std::array kShapes = {
    Shape{R"(prog "<%InputFile%>")", "I"},
    Shape{R"(prog -i "<%InputFile%>" -y "<%OutputFile%>.mp4")", "-i|I|-y|O.mp4"},
    Shape{R"(prog "<%InputFile%>" "<%OutputFile%>.THM")", "I|O.jpg"},
    Shape{R"(prog "<%OutputFile%>_half.mp4" "<%InputFile%>")", "O_half.mp4|I"},
    // Two values in one quoted argument: the backslashes that end the first are followed by
    // the second value, not by the closing quote.
    Shape{R"(prog "<%InputFile%><%OutputFile%>")", "IO"},
};

bool AllShapes() {
    static const bool all = std::getenv("PALOMIX_FUZZ_ALL_SHAPES") != nullptr;
    return all;
}

std::string WithoutNul(std::string text) {
    std::string kept;
    for (const char c : text) {
        if (c != '\0') {
            kept += c;
        }
    }
    return kept;
}

// The arguments a shape must give: "|" separates them; I is the job path, O the output name
// with the text after it up to the next value or separator.
std::vector<std::string> Expected(std::string_view shape, const std::string& input,
                                  const std::string& output) {
    std::vector<std::string> arguments(1);
    for (const char c : shape) {
        if (c == '|') {
            arguments.emplace_back();
        } else if (c == 'I') {
            arguments.back() += input;
        } else if (c == 'O') {
            arguments.back() += output;
        } else {
            arguments.back() += c;
        }
    }
    return arguments;
}

// Texts for the report of a finding: bytes outside printable ASCII as \xNN.
std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return shown;
}

std::string Printable(const std::vector<std::string>& arguments) {
    std::string shown = "{";
    for (const std::string& argument : arguments) {
        shown += (shown.size() > 1 ? ", [" : "[") + Printable(argument) + "]";
    }
    return shown + "}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Shape& shape = kShapes[input.ConsumeIntegralInRange<std::size_t>(0, kShapes.size() - 1)];
    if (shape.knownFault && !AllShapes()) {
        return 0;
    }
    palomix::CommandValues values;
    values.inputPath = WithoutNul(input.ConsumeRandomLengthString(512));
    values.outputFolder = WithoutNul(input.ConsumeRandomLengthString(512));
    values.appFolder = "/opt/palomix";

    palomix::testing::FakeDevices noDrives;
    const std::optional<std::string> line =
        palomix::PrepareCommandLine(shape.commandTemplate, values, noDrives, PathStyle::Posix);
    PALOMIX_FUZZ_CHECK(line.has_value());

    const std::vector<palomix::ProgramCandidate> candidates = palomix::ProgramCandidates(*line);
    PALOMIX_FUZZ_CHECK(!candidates.empty() && candidates.front().program == "prog");
    const std::string outputName =
        values.outputFolder + "/" + palomix::BaseNameOf(values.inputPath, PathStyle::Posix);
    const std::vector<std::string> arguments = palomix::SplitArguments(candidates.front().rest);
    const std::vector<std::string> expected =
        Expected(shape.expected, values.inputPath, outputName);
    if (arguments != expected) {
        std::fprintf(stderr,
                     "template:     %s\ncommand line: %s\nexpected:     %s\nsplit:        %s\n",
                     shape.commandTemplate.data(), Printable(*line).c_str(),
                     Printable(expected).c_str(), Printable(arguments).c_str());
    }
    PALOMIX_FUZZ_CHECK(arguments == expected);

    const std::string anyTemplate = WithoutNul(input.ConsumeRandomLengthString(256));
    for (const std::string_view commandTemplate :
         {shape.commandTemplate, std::string_view(anyTemplate)}) {
        for (const PathStyle style : {PathStyle::Posix, PathStyle::Windows}) {
            const std::optional<palomix::CompiledTemplate> compiled =
                palomix::CompiledTemplate::Compile(commandTemplate, style);
            if (!compiled) {
                continue;
            }
            palomix::PreparationNotes onceNotes;
            palomix::PreparationNotes directNotes;
            std::optional<palomix::LineReading> reading;
            const std::optional<std::string> once = compiled->Prepare(values, &onceNotes, &reading);
            const std::optional<std::string> direct =
                palomix::PrepareCommandLine(commandTemplate, values, noDrives, style, &directNotes);
            PALOMIX_FUZZ_CHECK(!once || once == direct);
            PALOMIX_FUZZ_CHECK(!once || onceNotes.outputArguments == directNotes.outputArguments);
            if (once && reading) {
                // The template's own reading with the values put in is the line's reading.
                const std::vector<palomix::ProgramCandidate> read =
                    palomix::ProgramCandidates(*once);
                PALOMIX_FUZZ_CHECK(!read.empty() && reading->program == read.front().program &&
                                   reading->arguments ==
                                       palomix::SplitArguments(read.front().rest));
            }
        }
    }
    return 0;
}
