#include "engine/OutputCheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>

#include "engine/MediaNumbers.h"

namespace palomix {

namespace {

// A length or time in seconds; nullopt for "N/A" and anything else that is no such number.
std::optional<double> Seconds(std::string_view text) {
    return MediaSecondsIn(text);
}

std::optional<int> Index(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

void Later(std::optional<double>& known, const std::optional<double>& seen) {
    if (seen && (!known || *seen > *known)) {
        known = seen;
    }
}

// Reads the answer line by line. A "duration" belongs to what was named last: a stream (its
// "codec_type") or the format ("format_name"); packets ("stream_index", "pts_time",
// "duration_time", as ffprobe lists them) are folded into their streams' ends.
class AnswerReader {
public:
    explicit AnswerReader(ProbedMedia& media) : media_(media) {}

    void Take(std::string_view key, std::string_view value) {
        if (key == "stream_index") {
            EndPacket();
            packet_ = Packet{Index(value), {}, {}};
        } else if (key == "pts_time" && packet_) {
            packet_->at = Seconds(value);
        } else if (key == "duration_time" && packet_) {
            packet_->length = Seconds(value);
        } else {
            TakeStreamOrFormat(key, value);
        }
    }

    void Finish() {
        EndPacket();
        for (ProbedStream& stream : media_.streams) {
            if (const auto found = packetEnds_.find(stream.index); found != packetEnds_.end()) {
                Later(stream.end, found->second);
            }
        }
    }

private:
    struct Packet {
        std::optional<int> stream;
        std::optional<double> at;
        std::optional<double> length;
    };

    // A packet without a length (a variable frame rate writes them) is taken to last as long
    // as the gap before it.
    void EndPacket() {
        if (packet_ && packet_->stream && packet_->at) {
            std::optional<double>& previous = packetStarts_[*packet_->stream];
            const double length = packet_->length.value_or(0.0) > 0 ? *packet_->length
                                  : previous ? std::max(*packet_->at - *previous, 0.0)
                                             : 0.0;
            Later(packetEnds_[*packet_->stream], *packet_->at + length);
            previous = packet_->at;
        }
        packet_.reset();
    }

    void TakeStreamOrFormat(std::string_view key, std::string_view value) {
        EndPacket();
        if (key == "index") {
            media_.streams.push_back(ProbedStream{Index(value).value_or(0), {}, false, {}, {}});
            inFormat_ = false;
        } else if (key == "codec_type") {
            if (media_.streams.empty() || inFormat_ || !media_.streams.back().kind.empty()) {
                media_.streams.push_back(
                    ProbedStream{static_cast<int>(media_.streams.size()), {}, false, {}, {}});
            }
            media_.streams.back().kind = std::string(value);
            inFormat_ = false;
        } else if (key == "DISPOSITION:attached_pic" && !media_.streams.empty()) {
            media_.streams.back().cover = value == "1";
        } else if (key == "end_time" && !media_.streams.empty()) {
            media_.streams.back().end = Seconds(value);
        } else if (key == "format_name") {
            media_.formatName = std::string(value);
            inFormat_ = true;
        } else if (key == "duration") {
            (inFormat_ || media_.streams.empty() ? media_.duration : media_.streams.back().length) =
                Seconds(value);
        } else if (key == "duration_estimated") {
            media_.durationEstimated = value == "1";
        } else if (key == "read_to_end") {
            media_.readToEnd = value == "1";
        }
    }

    ProbedMedia& media_;
    bool inFormat_ = false;
    std::optional<Packet> packet_;
    std::map<int, std::optional<double>> packetEnds_;
    std::map<int, std::optional<double>> packetStarts_;  // of the latest packet of each stream
};

bool OfKind(const ProbedStream& stream, std::string_view kind) {
    return !stream.cover && (kind.empty() || stream.kind == kind);
}

// The length of the output that counts, and the input's length it is compared with: a
// sound-only output against the input's sound, a picture-only one against its pictures.
struct Comparison {
    std::optional<double> output;
    std::optional<double> input;
};

Comparison Compared(const ProbedMedia& output, const InputLengths& input) {
    const bool audio = output.HasAudio();
    const bool video = output.HasVideo();
    if (audio && !video) {
        return {output.EndOf("audio"), input.audio ? input.audio : input.whole};
    }
    if (video && !audio) {
        return {output.EndOf("video"), input.video ? input.video : input.whole};
    }
    return {output.EndOf(""), input.whole};
}

}  // namespace

bool ProbedMedia::HasAudio() const {
    return std::any_of(streams.begin(), streams.end(),
                       [](const ProbedStream& stream) { return OfKind(stream, "audio"); });
}

bool ProbedMedia::HasVideo() const {
    return std::any_of(streams.begin(), streams.end(),
                       [](const ProbedStream& stream) { return OfKind(stream, "video"); });
}

std::optional<double> ProbedMedia::LengthOf(std::string_view kind) const {
    std::optional<double> longest;
    for (const ProbedStream& stream : streams) {
        if (OfKind(stream, kind)) {
            // Measured where the packets were read (a header that only guessed), else claimed.
            Later(longest, stream.end ? stream.end : stream.length);
        }
    }
    return longest;
}

std::optional<double> ProbedMedia::EndOf(std::string_view kind) const {
    std::optional<double> latest;
    for (const ProbedStream& stream : streams) {
        if (OfKind(stream, kind)) {
            Later(latest, stream.end);
        }
    }
    return latest;
}

ProbedMedia ReadProbeAnswer(std::string_view answer, bool ended) {
    ProbedMedia media;
    AnswerReader reader(media);
    while (!answer.empty()) {
        const std::size_t end = answer.find('\n');
        std::string_view line = answer.substr(0, end);
        answer = end == std::string_view::npos ? std::string_view() : answer.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            reader.Take(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    reader.Finish();
    media.answered = ended;
    return media;
}

InputLengths LengthsOf(const ProbedMedia& input) {
    if (!input.Readable()) {
        return {};
    }
    const auto recording = [](std::optional<double> length) {
        return length && *length >= kShortestRecording ? length : std::nullopt;
    };
    return InputLengths{recording(input.duration), recording(input.LengthOf("audio")),
                        recording(input.LengthOf("video"))};
}

bool IsPictureFormat(std::string_view formatName) {
    return formatName == "image2" || formatName == "image2pipe" || formatName.ends_with("_pipe") ||
           formatName == "webp" || formatName == "gif";
}

OutputVerdict JudgeOutput(const ProbedMedia& probed, const InputLengths& input,
                          const LengthLimit& limit, const MadeKinds& made) {
    OutputVerdict verdict;
    verdict.problem = JobProblem::OutputUnreadable;
    if (!probed.Readable()) {
        verdict.fault =
            probed.failure != OutputFault::None ? probed.failure : OutputFault::NotMedia;
        return verdict;
    }
    const bool audio = made.audio && probed.HasAudio();
    const bool video = made.video && (probed.HasVideo() || IsPictureFormat(probed.formatName));
    if (!audio && !video) {
        verdict.fault = OutputFault::NoStream;
        return verdict;
    }
    if (probed.readToEnd == false) {
        verdict.fault = OutputFault::Cut;
        return verdict;
    }
    if (IsPictureFormat(probed.formatName)) {
        return OutputVerdict{};  // a single picture: readable is all it takes
    }
    const Comparison comparison = Compared(probed, input);
    if (!comparison.output) {
        verdict.fault = OutputFault::NoLength;
        return verdict;
    }
    verdict = OutputVerdict{};
    if (comparison.input && !limit.Shortens(probed.HasAudio(), probed.HasVideo()) &&
        *comparison.output < *comparison.input * kShortestOutputShare) {
        verdict.problem = JobProblem::OutputTooShort;
        verdict.lengths = OutputLengths{*comparison.output, *comparison.input};
    }
    return verdict;
}

}  // namespace palomix
