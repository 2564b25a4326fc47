// What the arguments of an ffmpeg command line ask for, read without running it: the encoders
// and output formats it names (checked against what the local ffmpeg offers before a job
// starts), how it limits the length of what it writes, and which of its file arguments are
// media it writes (both for the check of a finished job's outputs).
//
// ffmpeg reads its options in groups: the options before an `-i` belong to that input, the
// others to the output file that follows them. Arguments are taken as the launcher splits them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"

namespace palomix {

// The encoders (-c, -codec, -c:<streams>, -codec:<streams>, -vcodec, -acodec, -scodec; "copy"
// needs none) and output formats (-f) the outputs of the arguments ask for, each once, in
// order. Options that an -i follows belong to an input and ask for nothing here.
std::vector<ConverterNeed> NeedsOfArguments(const std::vector<std::string>& arguments);

// How a command line limits the length of what it writes.
struct LengthLimit {
    bool all = false;    // -t, -to, -ss, -sseof, -frames, -frames:<stream number>, ...
    bool video = false;  // -frames:v, -vframes: only the pictures are cut
    bool audio = false;  // -frames:a, -aframes: only the sound is cut

    LengthLimit& operator|=(const LengthLimit& other);
    // True when an output with these streams is meant to be shorter than the input: a limit
    // of all streams, or of its only kind of stream (a cover picture does not shorten a song).
    bool Shortens(bool hasAudio, bool hasVideo) const;
};

// The limits anywhere among the arguments (of an input or of an output).
LengthLimit LengthLimitOfArguments(const std::vector<std::string>& arguments);

// The kinds of stream a command line makes: sound unless it says -an, moving pictures unless
// it says -vn.
struct MadeKinds {
    bool audio = true;
    bool video = true;
};
MadeKinds MadeKindsOfArguments(const std::vector<std::string>& arguments);

// The size an output may reach (-fs BYTES: ffmpeg stops writing there); nullopt for none.
std::optional<std::int64_t> SizeLimitOfArguments(const std::vector<std::string>& arguments);

// True when argument `index` is a file the command writes as media: not the value of an option
// that names an input (-i) or a side file (-passlogfile, -vstats_file, -progress, ...).
bool NamesMediaOutput(const std::vector<std::string>& arguments, std::size_t index);

}  // namespace palomix
