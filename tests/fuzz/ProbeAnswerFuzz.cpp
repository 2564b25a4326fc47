// The answers of the media probe (palomix-probe's and ffprobe's "key=value" lines) are read
// from programs that read untrusted files: whatever they hold, reading them and judging an
// output by them never fails, and every length that comes out is a number of seconds.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/OutputCheck.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool Seconds(const std::optional<double>& value) {
    return !value || (std::isfinite(*value) && *value >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const bool ended = input.ConsumeBool();
    const std::string answer = input.ConsumeRemainingBytesAsString();
    const palomix::ProbedMedia media = palomix::ReadProbeAnswer(answer, ended);
    PALOMIX_FUZZ_CHECK(!media.Readable() || (ended && !media.formatName.empty()));
    PALOMIX_FUZZ_CHECK(Seconds(media.duration));
    for (const palomix::ProbedStream& stream : media.streams) {
        PALOMIX_FUZZ_CHECK(Seconds(stream.length) && Seconds(stream.end));
    }
    const palomix::InputLengths lengths = palomix::LengthsOf(media);
    PALOMIX_FUZZ_CHECK(Seconds(lengths.whole) && Seconds(lengths.audio) && Seconds(lengths.video));
    const palomix::OutputVerdict verdict =
        palomix::JudgeOutput(media, lengths, palomix::LengthLimit{}, palomix::MadeKinds{});
    // A verdict of too short holds both lengths, the output's the shorter by more than allowed;
    // any other names no lengths.
    if (verdict.problem == palomix::JobProblem::OutputTooShort) {
        PALOMIX_FUZZ_CHECK(std::isfinite(verdict.lengths.output) && verdict.lengths.output >= 0 &&
                           verdict.lengths.output <
                               verdict.lengths.input * palomix::kShortestOutputShare);
    } else {
        PALOMIX_FUZZ_CHECK(verdict.lengths == palomix::OutputLengths{});
    }
    // Only a readable answer can pass.
    PALOMIX_FUZZ_CHECK(verdict.problem == palomix::JobProblem::OutputUnreadable ||
                       media.Readable());
    return 0;
}
