#include "MediaProbe.h"

#include <charconv>
#include <cstdlib>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

int ToInt(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

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
            } else if (key == "TAG:title") {
                stream.title = value;
            }
        } else if (key == "duration" && value != "N/A") {
            media.duration = std::strtod(std::string(value).c_str(), nullptr);
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
                    "stream=codec_name,codec_type,width,height:stream_tags=title:format=duration:"
                    "format_tags=title",
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

}  // namespace palomix::e2e
