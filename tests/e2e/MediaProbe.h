// What ffprobe and ffmpeg say about a media file: its streams in order (codec, picture size and
// pixel shape, colour, H.264 profile and level, sound rate), the file's duration and title tag,
// and measurements taken from the decoded pictures.
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
    std::string sampleAspect;  // sample_aspect_ratio such as "1:1"; empty when not given
    std::string profile;       // such as "Main"
    int level = 0;             // H.264 level times ten (30 for 3.0)
    std::string colorTransfer;
    std::string colorPrimaries;
    std::string colorSpace;   // the matrix, such as "bt709"
    std::string pixelFormat;  // such as "yuv420p"
    int sampleRate = 0;       // sound only
    std::optional<double> startTime;
    std::optional<double> duration;
    std::optional<double> bitRate;  // bits per second
    std::string title;              // the stream's title tag (Ogg and Opus keep a file's tags here)
};

struct ProbedMedia {
    bool ok = false;  // ffprobe read the file
    std::string error;
    std::vector<ProbedStream> streams;
    std::optional<double> duration;  // seconds, when the file has one
    std::string title;               // the file's title tag

    const ProbedStream* First(std::string_view type) const;
};

// Parses the output of ffprobe -show_entries ... -of default ([STREAM] ... [/STREAM] blocks,
// then [FORMAT] ... [/FORMAT], one key=value a line).
ProbedMedia ParseProbeOutput(std::string_view text);

// Runs `ffprobe` (a path) on the file.
ProbedMedia ProbeMedia(const std::string& ffprobe, const std::string& path);

// The title tag of the file, or else that of its first audio stream (where Ogg keeps it).
std::string TitleOf(const ProbedMedia& media);

// The times of the first video stream's frames in seconds, in order.
std::vector<double> VideoFrameTimes(const std::string& ffprobe, const std::string& path);

// One decoded picture of the file: its first video frame as 8-bit grey or RGB samples.
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1 for grey, 3 for RGB
    std::string samples;
    unsigned char At(int x, int y, int channel = 0) const;
};
std::optional<Picture> DecodeFirstPicture(const std::string& ffmpeg, const std::string& path,
                                          bool rgb);

// How bright and how colourful the first picture is, as ffmpeg's signalstats measures it on 8-bit
// 4:2:0 samples: the mean of Y and the mean distance of U and V from grey.
struct PictureLook {
    double luma = 0;
    double saturation = 0;
};
// `input` is ffmpeg's input: {"-i", path}, or a source such as {"-f", "lavfi", "-i", graph}.
std::optional<PictureLook> LookOfFirstPicture(const std::string& ffmpeg,
                                              const std::vector<std::string>& input);

// The size of the picture without the black bars around it, as ffmpeg's cropdetect finds it
// over the whole file; nothing when it finds none.
struct Size {
    int width = 0;
    int height = 0;
};
std::optional<Size> ContentSize(const std::string& ffmpeg, const std::string& path);

// How much more neighbouring lines differ than lines two apart: about 1 or more for a picture
// woven from fields of different moments (combs), clearly below 1 for a whole picture.
double CombRatio(const Picture& grey);

// The VBV limits (kbit/s, kbit) that x264 wrote into the stream's settings message; nothing
// when the file holds none.
struct VbvSettings {
    int maxRate = 0;
    int bufferSize = 0;
};
std::optional<VbvSettings> X264Vbv(const std::string& path);

// The top-level box names of an MP4 file, in order.
std::vector<std::string> Mp4TopBoxes(const std::string& path);

}  // namespace palomix::e2e
