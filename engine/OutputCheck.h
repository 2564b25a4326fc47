// The check of a finished job's outputs before the job counts as done: each media file it wrote
// must exist, hold something, be readable by ffprobe, and, for a recording, last nearly as long
// as its input, unless the command line limits the length or the output is a single picture.
// A converter that ends well but leaves a cut file (a full card, a crash at the end, a filter
// that stops early) is so reported as failed rather than done.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/EngineTypes.h"
#include "engine/FfmpegArguments.h"
#include "platform/PathRules.h"

namespace palomix {

// The share of the input's length an output must last at least.
inline constexpr double kShortestOutputShare = 0.95;

// The arguments after the probe program that describe an output file (its path follows).
inline constexpr std::string_view kOutputProbeArguments =
    "-v error -show_entries format=format_name,duration:stream=codec_type -of default=nw=1";

// What the probe says of an output.
struct ProbedOutput {
    bool readable = false;           // the probe ended well and named the file's format
    std::string formatName;          // "mov,mp4,m4a,3gp,3g2,mj2", "image2", "png_pipe", ...
    std::optional<double> duration;  // seconds; nullopt when it gave none ("N/A")
    bool audio = false;              // it has a sound stream
    bool video = false;              // it has a picture stream
};

// Reads the probe's answer (`key=value` lines; anything else is passed over). `ended` is false
// when the probe failed.
ProbedOutput ReadOutputProbe(std::string_view answer, bool ended);

// True for a single picture: no length, an image format, or a picture's extension. (A
// recording cut to a fraction of a second has a length, and stays a recording.)
bool IsSinglePicture(const ProbedOutput& probed, std::string_view path, PathStyle style);

// What the check makes of one output that exists and is not empty: None when it passes,
// OutputUnreadable, or OutputTooShort with both lengths. `inputSeconds`: the input's length,
// nullopt when it is not known (then only readability counts).
struct OutputVerdict {
    JobProblem problem = JobProblem::None;
    OutputLengths lengths;  // OutputTooShort
};
OutputVerdict JudgeOutput(const ProbedOutput& probed, std::optional<double> inputSeconds,
                          const LengthLimit& limit, std::string_view path, PathStyle style);

}  // namespace palomix
