#include "engine/OutputCheck.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "engine/RunPolicy.h"

namespace palomix {

namespace {

// A length in seconds; nullopt for "N/A" and anything else that is no number.
std::optional<double> Seconds(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ProbedOutput ReadOutputProbe(std::string_view answer, bool ended) {
    ProbedOutput probed;
    while (!answer.empty()) {
        const std::size_t end = answer.find('\n');
        std::string_view line = answer.substr(0, end);
        answer = end == std::string_view::npos ? std::string_view() : answer.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == "format_name") {
            probed.formatName = std::string(value);
        } else if (key == "duration") {
            probed.duration = Seconds(value);
        } else if (key == "codec_type") {
            probed.audio = probed.audio || value == "audio";
            probed.video = probed.video || value == "video";
        }
    }
    probed.readable = ended && !probed.formatName.empty();
    return probed;
}

bool IsSinglePicture(const ProbedOutput& probed, std::string_view path, PathStyle style) {
    static constexpr std::array<std::string_view, 8> kPictureTypes{"jpg", "jpeg", "png",  "webp",
                                                                   "bmp", "tif",  "tiff", "thm"};
    const std::string_view format = probed.formatName;
    if (!probed.duration || format == "image2" || format == "image2pipe" ||
        format.ends_with("_pipe")) {
        return true;
    }
    const std::string type = FileTypeOf(path, style);
    return std::find(kPictureTypes.begin(), kPictureTypes.end(), type) != kPictureTypes.end();
}

OutputVerdict JudgeOutput(const ProbedOutput& probed, std::optional<double> inputSeconds,
                          const LengthLimit& limit, std::string_view path, PathStyle style) {
    OutputVerdict verdict;
    if (!probed.readable) {
        verdict.problem = JobProblem::OutputUnreadable;
        return verdict;
    }
    if (!inputSeconds || IsSinglePicture(probed, path, style) ||
        limit.Shortens(probed.audio, probed.video)) {
        return verdict;
    }
    if (*probed.duration < *inputSeconds * kShortestOutputShare) {
        verdict.problem = JobProblem::OutputTooShort;
        verdict.lengths = OutputLengths{*probed.duration, *inputSeconds};
    }
    return verdict;
}

}  // namespace palomix
