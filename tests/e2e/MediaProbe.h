// What ffprobe says about a media file: its streams in order (codec, size of pictures) and the
// file's duration and title tag.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace palomix::e2e {

struct ProbedStream {
    std::string codec;  // codec_name
    std::string type;   // codec_type: video, audio, ...
    int width = 0;      // pictures only
    int height = 0;
    std::string title;  // the stream's title tag (Ogg and Opus keep a file's tags here)
};

struct ProbedMedia {
    bool ok = false;  // ffprobe read the file
    std::string error;
    std::vector<ProbedStream> streams;
    std::optional<double> duration;  // seconds, when the file has one
    std::string title;               // the file's title tag
};

// Parses the output of
//   ffprobe -v error -show_entries stream=codec_name,codec_type,width,height:stream_tags=title:
//           format=duration:format_tags=title -of default
// ([STREAM] ... [/STREAM] blocks, then [FORMAT] ... [/FORMAT], one key=value a line).
ProbedMedia ParseProbeOutput(std::string_view text);

// Runs `ffprobe` (a path) on the file.
ProbedMedia ProbeMedia(const std::string& ffprobe, const std::string& path);

// The title tag of the file, or else that of its first audio stream (where Ogg keeps it).
std::string TitleOf(const ProbedMedia& media);

}  // namespace palomix::e2e
