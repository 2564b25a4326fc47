// The check of a finished job's outputs before the job counts as done: "done" means a user can
// play the whole file. Each media file it wrote must exist, hold something, be read by the
// media probe to its last packet (no decoding), hold a stream of a kind its command line makes,
// and, for a recording, last nearly as long as the streams it is made from (the last packet's
// time counts, not what its header claims), unless the command line limits the length or the
// output is a single picture. A converter that ends well but leaves a cut or broken file (a full
// card, a crash at the end, a filter that stops early) is so reported as failed rather than done.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/FfmpegArguments.h"
#include "platform/PathRules.h"

namespace palomix {

// The share of the input's length an output must last at least.
inline constexpr double kShortestOutputShare = 0.95;
// Inputs shorter than this have no length worth a percentage: a picture reports none or one
// frame's.
inline constexpr double kShortestRecording = 0.5;

// The arguments after the probe program (cores/ffprobe) for each question; the path follows.
// Both are answered in the form ReadProbeAnswer reads.
inline constexpr std::string_view kLengthProbeArguments =
    "-v error -show_entries "
    "stream=index,codec_type,duration:stream_disposition=attached_pic:format=format_name,duration"
    " -of default=nw=1";
inline constexpr std::string_view kOutputProbeArguments =
    "-v error -show_entries "
    "packet=stream_index,pts_time,duration_time:stream=index,codec_type,duration:"
    "stream_disposition=attached_pic:format=format_name,duration -of default=nw=1";

// One stream as the probe saw it.
struct ProbedStream {
    int index = 0;
    std::string kind;              // "audio", "video", ...
    bool cover = false;            // an attached (cover) picture, not a moving one
    std::optional<double> length;  // as the header claims it
    std::optional<double> end;     // the end of its last packet, when the packets were read
};

// What the probe says of a file.
struct ProbedMedia {
    bool answered = false;  // the probe ended well
    // Why there is no answer, when the probe itself failed.
    OutputFault failure = OutputFault::None;
    std::string formatName;          // "mov,mp4,m4a,3gp,3g2,mj2", "image2", "png_pipe", ...
    std::optional<double> duration;  // the header's (measured when it was only a guess)
    bool durationEstimated = false;  // the header's duration was a guess from the bit rate
    std::optional<bool> readToEnd;   // every packet was read (nullopt: the probe does not say)
    std::vector<ProbedStream> streams;

    bool Readable() const { return answered && !formatName.empty(); }
    // A stream of sound, of moving pictures (not a cover).
    bool HasAudio() const;
    bool HasVideo() const;
    // The longest of the lengths of the streams of a kind ("audio", "video"): measured where
    // the packets were read, else as the header claims.
    std::optional<double> LengthOf(std::string_view kind) const;
    // The latest end of a packet of the streams of a kind ("" for any stream).
    std::optional<double> EndOf(std::string_view kind) const;
};

// Reads the probe's answer (`key=value` lines as palomix-probe and ffprobe write them; anything
// else is passed over). `ended` is false when the probe failed.
ProbedMedia ReadProbeAnswer(std::string_view answer, bool ended);

// How long an input lasts, as a whole and by the kind of its streams, for the check (nullopt
// where it cannot be known).
struct InputLengths {
    std::optional<double> whole;
    std::optional<double> audio;
    std::optional<double> video;
};
InputLengths LengthsOf(const ProbedMedia& input);

// True for a format that holds single pictures ("image2", "png_pipe", ...).
bool IsPictureFormat(std::string_view formatName);

// What the check makes of one output that exists and is not empty: None when it passes,
// OutputUnreadable (with its fault), or OutputTooShort with both lengths. `made`: the kinds of
// stream its command line makes.
struct OutputVerdict {
    JobProblem problem = JobProblem::None;
    OutputFault fault = OutputFault::None;
    OutputLengths lengths;  // OutputTooShort
};
OutputVerdict JudgeOutput(const ProbedMedia& probed, const InputLengths& input,
                          const LengthLimit& limit, const MadeKinds& made);

}  // namespace palomix
