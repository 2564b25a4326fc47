// What a media file holds, as libavformat reads it: its format, its streams, their lengths as
// the file's header claims them, and (when asked, or when the header only guesses) the end of
// the last packet of each stream found by reading every packet of the file, without decoding.
// Used only inside palomix-probe, so that a damaged file can take down nothing but that helper.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace palomix::probe {

struct StreamFacts {
    int index = 0;
    std::string kind;              // "audio", "video", "subtitle", "data", ...
    bool attachedPicture = false;  // a cover picture, not a moving one
    std::optional<double> length;  // as the header claims, from the stream's start
    std::optional<double> end;     // the end of its last packet, from the stream's start
};

struct MediaFacts {
    bool opened = false;
    std::string problem;  // when not opened: why, in the library's words
    std::string formatName;
    std::optional<double> duration;  // the header's, or measured when it only guessed
    bool durationEstimated = false;  // the header's duration is a guess from the bit rate
    bool readToTheEnd = false;       // every packet was read (the ends are known)
    std::vector<StreamFacts> streams;
};

// Looks at the file. `everyPacket`: read every packet (an output to be checked); otherwise only
// when the header's duration is a guess from the bit rate or missing (an input's length).
MediaFacts ReadMediaFacts(const std::string& path, bool everyPacket);

// The facts as the helper answers them: "key=value" lines, ended by "end".
std::string AnswerText(const MediaFacts& facts);

}  // namespace palomix::probe
