#include "probe/MediaReading.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace palomix::probe {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::optional<double> Seconds(std::int64_t value, AVRational base) {
    if (value == AV_NOPTS_VALUE) {
        return std::nullopt;
    }
    const double seconds = static_cast<double>(value) * av_q2d(base);
    return std::isfinite(seconds) && seconds >= 0 ? std::optional<double>(seconds) : std::nullopt;
}

const char* KindOf(AVMediaType type) {
    const char* name = av_get_media_type_string(type);
    return name != nullptr ? name : "unknown";
}

// Where a stream's packets stand as they are read: the start of the latest one, with its
// length, and the start of the one before (a last packet without a length, as a variable frame
// rate writes it, is taken to last as long as the gap before it).
struct PacketTimes {
    std::optional<std::int64_t> last;
    std::int64_t lastLength = 0;
    std::optional<std::int64_t> before;

    void Take(std::int64_t at, std::int64_t length) {
        if (last && at < *last) {
            return;  // an earlier packet read late: the end stays where it is
        }
        before = last;
        last = at;
        lastLength = std::max<std::int64_t>(length, 0);
    }
    std::optional<std::int64_t> End() const {
        if (!last) {
            return std::nullopt;
        }
        const std::int64_t length = lastLength > 0 ? lastLength : before ? *last - *before : 0;
        return *last + length;
    }
};

// Reads every packet and notes where each stream's last one ends. A packet the library marks
// as cut, or a read error, ends the reading there: what follows cannot be played.
bool ReadEveryPacket(AVFormatContext& input, MediaFacts& facts) {
    const Packet packet(av_packet_alloc());
    if (!packet) {
        return false;
    }
    std::vector<PacketTimes> times(facts.streams.size());
    int result = 0;
    bool cut = false;
    while (!cut && (result = av_read_frame(&input, packet.get())) >= 0) {
        cut = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
        const auto index = static_cast<std::size_t>(packet->stream_index);
        const std::int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (!cut && index < times.size() && at != AV_NOPTS_VALUE) {
            times[index].Take(at, packet->duration);
        }
        av_packet_unref(packet.get());
    }
    for (std::size_t i = 0; i < times.size(); ++i) {
        const AVStream& stream = *input.streams[i];
        const std::int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
        if (const std::optional<std::int64_t> end = times[i].End()) {
            facts.streams[i].end =
                Seconds(std::max<std::int64_t>(*end - start, 0), stream.time_base);
        }
    }
    return !cut && result == AVERROR_EOF;
}

}  // namespace

MediaFacts ReadMediaFacts(const std::string& path, bool everyPacket) {
    MediaFacts facts;
    AVFormatContext* opened = nullptr;
    if (const int result = avformat_open_input(&opened, path.c_str(), nullptr, nullptr);
        result < 0) {
        facts.problem = ErrorText(result);
        return facts;
    }
    const Input input(opened);
    if (const int result = avformat_find_stream_info(input.get(), nullptr); result < 0) {
        facts.problem = ErrorText(result);
        return facts;
    }
    facts.opened = true;
    facts.formatName = input->iformat->name != nullptr ? input->iformat->name : "";
    facts.duration = Seconds(input->duration, AVRational{1, AV_TIME_BASE});
    facts.durationEstimated = input->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVStream& stream = *input->streams[i];
        StreamFacts streamFacts;
        streamFacts.index = static_cast<int>(i);
        streamFacts.kind = KindOf(stream.codecpar->codec_type);
        streamFacts.attachedPicture = (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        streamFacts.length = Seconds(stream.duration, stream.time_base);
        facts.streams.push_back(std::move(streamFacts));
    }
    if (everyPacket || facts.durationEstimated || !facts.duration) {
        facts.readToTheEnd = ReadEveryPacket(*input, facts);
        if (facts.durationEstimated || !facts.duration) {
            // The header only guessed: the packets tell how long the file really is.
            std::optional<double> longest;
            for (const StreamFacts& stream : facts.streams) {
                if (stream.end && (!longest || *stream.end > *longest)) {
                    longest = stream.end;
                }
            }
            facts.duration = longest;
        }
    }
    return facts;
}

namespace {

void Line(std::string& text, const char* key, const std::string& value) {
    text.append(key).append("=").append(value).append("\n");
}

std::string Number(const std::optional<double>& value) {
    if (!value) {
        return "N/A";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f", *value);
    return buffer;
}

}  // namespace

std::string AnswerText(const MediaFacts& facts) {
    std::string text;
    if (!facts.opened) {
        Line(text, "problem", facts.problem);
        return text + "end\n";
    }
    for (const StreamFacts& stream : facts.streams) {
        Line(text, "index", std::to_string(stream.index));
        Line(text, "codec_type", stream.kind);
        Line(text, "duration", Number(stream.length));
        if (stream.attachedPicture) {
            Line(text, "DISPOSITION:attached_pic", "1");
        }
        if (facts.readToTheEnd || stream.end) {
            Line(text, "end_time", Number(stream.end));
        }
    }
    Line(text, "format_name", facts.formatName);
    Line(text, "duration", Number(facts.duration));
    if (facts.durationEstimated) {
        Line(text, "duration_estimated", "1");
    }
    Line(text, "read_to_end", facts.readToTheEnd ? "1" : "0");
    return text + "end\n";
}

}  // namespace palomix::probe
