#include "MediaProbe.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

int ToInt(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::optional<double> ToNumber(std::string_view text) {
    if (text.empty() || text == "N/A") {
        return std::nullopt;
    }
    return std::strtod(std::string(text).c_str(), nullptr);
}

// A value ffprobe gives as "unknown" or "N/A" counts as not given.
std::string Known(std::string_view text) {
    return text == "unknown" || text == "N/A" ? std::string() : std::string(text);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

const ProbedStream* ProbedMedia::First(std::string_view type) const {
    for (const ProbedStream& stream : streams) {
        if (stream.type == type) {
            return &stream;
        }
    }
    return nullptr;
}

ProbedMedia ParseProbeOutput(std::string_view text) {
    ProbedMedia media;
    enum class Section { None, Stream, Format } section = Section::None;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line == "[STREAM]") {
            section = Section::Stream;
            media.streams.emplace_back();
            continue;
        }
        if (line == "[FORMAT]") {
            section = Section::Format;
            continue;
        }
        if (line.starts_with("[/")) {
            section = Section::None;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || section == Section::None) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (section == Section::Stream) {
            ProbedStream& stream = media.streams.back();
            if (key == "codec_name") {
                stream.codec = value;
            } else if (key == "codec_type") {
                stream.type = value;
            } else if (key == "width") {
                stream.width = ToInt(value);
            } else if (key == "height") {
                stream.height = ToInt(value);
            } else if (key == "sample_aspect_ratio") {
                stream.sampleAspect = Known(value);
            } else if (key == "profile") {
                stream.profile = Known(value);
            } else if (key == "level") {
                stream.level = ToInt(value);
            } else if (key == "color_transfer") {
                stream.colorTransfer = Known(value);
            } else if (key == "color_primaries") {
                stream.colorPrimaries = Known(value);
            } else if (key == "color_space") {
                stream.colorSpace = Known(value);
            } else if (key == "pix_fmt") {
                stream.pixelFormat = Known(value);
            } else if (key == "sample_rate") {
                stream.sampleRate = ToInt(value);
            } else if (key == "start_time") {
                stream.startTime = ToNumber(value);
            } else if (key == "duration") {
                stream.duration = ToNumber(value);
            } else if (key == "bit_rate") {
                stream.bitRate = ToNumber(value);
            } else if (key == "TAG:title") {
                stream.title = value;
            }
        } else if (key == "duration") {
            media.duration = ToNumber(value);
        } else if (key == "TAG:title") {
            media.title = value;
        }
    }
    media.ok = !media.streams.empty();
    return media;
}

ProbedMedia ProbeMedia(const std::string& ffprobe, const std::string& path) {
    const ProcessOutput probed =
        RunProcess({ffprobe, "-v", "error", "-show_entries",
                    "stream=codec_name,codec_type,width,height,sample_aspect_ratio,profile,level,"
                    "color_transfer,color_primaries,color_space,pix_fmt,sample_rate,start_time,"
                    "duration,bit_rate:"
                    "stream_tags=title:format=duration:format_tags=title",
                    "-of", "default", path});
    ProbedMedia media = ParseProbeOutput(probed.out);
    if (probed.exitCode != 0) {
        media.ok = false;
    }
    media.error = probed.err;
    return media;
}

std::string TitleOf(const ProbedMedia& media) {
    if (!media.title.empty()) {
        return media.title;
    }
    for (const ProbedStream& stream : media.streams) {
        if (!stream.title.empty() && stream.type == "audio") {
            return stream.title;
        }
    }
    return {};
}

std::vector<double> VideoFrameTimes(const std::string& ffprobe, const std::string& path) {
    const ProcessOutput probed =
        RunProcess({ffprobe, "-v", "error", "-select_streams", "v:0", "-show_entries",
                    "packet=pts_time", "-of", "csv=p=0", path});
    std::vector<double> times;
    std::istringstream in(probed.out);
    for (std::string line; std::getline(in, line);) {
        if (const std::optional<double> time = ToNumber(line)) {
            times.push_back(*time);
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

unsigned char Picture::At(int x, int y, int channel) const {
    return static_cast<unsigned char>(
        samples[(static_cast<std::size_t>(y) * width + x) * channels + channel]);
}

std::optional<Picture> DecodeFirstPicture(const std::string& ffmpeg, const std::string& path,
                                          bool rgb) {
    // A PGM or PPM file: "P5" or "P6", width, height and the largest value, then the samples.
    const ProcessOutput decoded =
        RunProcess({ffmpeg, "-v", "error", "-nostdin", "-i", path, "-map", "0:v:0", "-frames:v",
                    "1", "-c:v", rgb ? "ppm" : "pgm", "-f", "image2pipe", "-"});
    std::istringstream in(decoded.out);
    std::string magic;
    Picture picture;
    int largest = 0;
    if (decoded.exitCode != 0 || !(in >> magic >> picture.width >> picture.height >> largest) ||
        magic != (rgb ? "P6" : "P5") || largest != 255) {
        return std::nullopt;
    }
    in.get();  // the one blank after the header
    picture.channels = rgb ? 3 : 1;
    const std::size_t size =
        static_cast<std::size_t>(picture.width) * picture.height * picture.channels;
    const auto start = static_cast<std::size_t>(in.tellg());
    if (decoded.out.size() < start + size) {
        return std::nullopt;
    }
    picture.samples = decoded.out.substr(start, size);
    return picture;
}

std::optional<PictureLook> LookOfFirstPicture(const std::string& ffmpeg,
                                              const std::vector<std::string>& input) {
    std::vector<std::string> arguments = {ffmpeg, "-v", "error", "-nostdin"};
    arguments.insert(arguments.end(), input.begin(), input.end());
    arguments.insert(arguments.end(),
                     {"-map", "0:v:0", "-frames:v", "1", "-vf",
                      "format=yuv420p,signalstats,metadata=mode=print:file=-", "-f", "null", "-"});
    const ProcessOutput run = RunProcess(arguments);
    // One "lavfi.signalstats.KEY=VALUE" a line for each frame the filters saw; the first counts.
    std::optional<double> luma;
    std::optional<double> saturation;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
        const auto take = [&line](std::string_view key, std::optional<double>& value) {
            if (!value && line.starts_with(key)) {
                value = ToNumber(std::string_view(line).substr(key.size()));
            }
        };
        take("lavfi.signalstats.YAVG=", luma);
        take("lavfi.signalstats.SATAVG=", saturation);
    }
    if (run.exitCode != 0 || !luma || !saturation) {
        return std::nullopt;
    }
    return PictureLook{*luma, *saturation};
}

std::optional<Size> ContentSize(const std::string& ffmpeg, const std::string& path) {
    const ProcessOutput run =
        RunProcess({ffmpeg, "-hide_banner", "-nostdin", "-i", path, "-map", "0:v:0", "-vf",
                    "cropdetect=limit=24:round=2:reset=0:skip=0", "-f", "null", "-"});
    const std::size_t at = run.err.rfind("crop=");
    if (run.exitCode != 0 || at == std::string::npos) {
        return std::nullopt;
    }
    Size size;
    char colon = 0;
    std::istringstream in(run.err.substr(at + 5));
    if (!(in >> size.width >> colon >> size.height) || colon != ':') {
        return std::nullopt;
    }
    return size;
}

double CombRatio(const Picture& grey) {
    double neighbours = 0;
    double twoApart = 0;
    for (int y = 0; y + 2 < grey.height; ++y) {
        for (int x = 0; x < grey.width; ++x) {
            neighbours += std::abs(grey.At(x, y) - grey.At(x, y + 1));
            twoApart += std::abs(grey.At(x, y) - grey.At(x, y + 2));
        }
    }
    return twoApart > 0 ? neighbours / twoApart : 0;
}

std::optional<VbvSettings> X264Vbv(const std::string& path) {
    const std::string bytes = ReadAll(path);
    const std::size_t settings = bytes.find("x264 - core");
    if (settings == std::string::npos) {
        return std::nullopt;
    }
    const auto valueOf = [&](const char* key) -> std::optional<int> {
        const std::size_t at = bytes.find(key, settings);
        if (at == std::string::npos || at - settings > 4096) {
            return std::nullopt;
        }
        return std::atoi(bytes.c_str() + at + std::strlen(key));
    };
    const std::optional<int> maxRate = valueOf(" vbv_maxrate=");
    const std::optional<int> bufferSize = valueOf(" vbv_bufsize=");
    if (!maxRate || !bufferSize) {
        return std::nullopt;
    }
    return VbvSettings{*maxRate, *bufferSize};
}

std::vector<std::string> Mp4TopBoxes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    const auto fileSize = static_cast<std::uint64_t>(in.tellg());
    std::vector<std::string> boxes;
    std::uint64_t at = 0;
    while (at + 8 <= fileSize) {
        unsigned char header[16] = {};
        in.seekg(static_cast<std::streamoff>(at));
        in.read(reinterpret_cast<char*>(header), 8);
        std::uint64_t size = std::uint64_t{header[0]} << 24 | std::uint64_t{header[1]} << 16 |
                             std::uint64_t{header[2]} << 8 | header[3];
        if (size == 1) {
            in.read(reinterpret_cast<char*>(header + 8), 8);
            size = 0;
            for (int i = 8; i < 16; ++i) {
                size = size << 8 | header[i];
            }
        } else if (size == 0) {
            size = fileSize - at;
        }
        if (!in || size < 8) {
            break;
        }
        boxes.emplace_back(reinterpret_cast<const char*>(header + 4), 4);
        at += size;
    }
    return boxes;
}

}  // namespace palomix::e2e
