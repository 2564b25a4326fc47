#include "engine/FfmpegArguments.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace palomix {

namespace {

// "-c:v:0" gives "-c"; an argument that is no option gives itself.
std::string_view OptionName(std::string_view argument) {
    return argument.substr(0, argument.find(':'));
}

// "-c:v:0" gives "v:0"; empty without a stream specifier.
std::string_view StreamsOf(std::string_view argument) {
    const std::size_t colon = argument.find(':');
    return colon == std::string_view::npos ? std::string_view() : argument.substr(colon + 1);
}

bool IsEncoderOption(std::string_view argument) {
    const std::string_view name = OptionName(argument);
    if (name == "-c" || name == "-codec") {
        return true;
    }
    return argument == "-vcodec" || argument == "-acodec" || argument == "-scodec";
}

// The index of the last -i, or none.
std::ptrdiff_t LastInput(const std::vector<std::string>& arguments) {
    for (std::size_t i = arguments.size(); i > 0; --i) {
        if (arguments[i - 1] == "-i") {
            return static_cast<std::ptrdiff_t>(i - 1);
        }
    }
    return -1;
}

}  // namespace

std::vector<ConverterNeed> NeedsOfArguments(const std::vector<std::string>& arguments) {
    std::vector<ConverterNeed> needs;
    const auto add = [&needs](ConverterNeed::Kind kind, const std::string& name) {
        ConverterNeed need{kind, name};
        if (!name.empty() && std::find(needs.begin(), needs.end(), need) == needs.end()) {
            needs.push_back(std::move(need));
        }
    };
    // Inputs come first on an ffmpeg line: what stands before the last -i is an input's.
    const std::ptrdiff_t lastInput = LastInput(arguments);
    const std::size_t first = lastInput < 0 ? 0 : static_cast<std::size_t>(lastInput) + 2;
    for (std::size_t i = first; i + 1 < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (IsEncoderOption(argument)) {
            if (arguments[i + 1] != "copy") {
                add(ConverterNeed::Kind::Encoder, arguments[i + 1]);
            }
            ++i;
        } else if (argument == "-f") {
            add(ConverterNeed::Kind::Format, arguments[i + 1]);
            ++i;
        }
    }
    return needs;
}

LengthLimit& LengthLimit::operator|=(const LengthLimit& other) {
    all = all || other.all;
    video = video || other.video;
    audio = audio || other.audio;
    return *this;
}

bool LengthLimit::Shortens(bool hasAudio, bool hasVideo) const {
    return all || (video && !hasAudio) || (audio && !hasVideo);
}

LengthLimit LengthLimitOfArguments(const std::vector<std::string>& arguments) {
    // -fs is no limit of the length: an output it cuts is not the whole of what was meant.
    static constexpr std::array<std::string_view, 5> kWholeLimits{"-t", "-to", "-ss", "-sseof",
                                                                  "-frames"};
    LengthLimit limit;
    for (const std::string& argument : arguments) {
        if (std::find(kWholeLimits.begin(), kWholeLimits.end(), argument) != kWholeLimits.end()) {
            limit.all = true;
        } else if (argument == "-vframes") {
            limit.video = true;
        } else if (argument == "-aframes") {
            limit.audio = true;
        } else if (OptionName(argument) == "-frames") {
            // The streams the limit is for: pictures, sound, subtitles and data (which set no
            // length), or streams named otherwise (by number, by program), which may be any.
            const std::string_view streams = StreamsOf(argument);
            const char kind = streams.empty() ? '\0' : streams.front();
            if (kind == 'v' || kind == 'V') {
                limit.video = true;
            } else if (kind == 'a') {
                limit.audio = true;
            } else if (kind != 's' && kind != 'd' && kind != 't') {
                limit.all = true;
            }
        }
    }
    return limit;
}

bool NamesMediaOutput(const std::vector<std::string>& arguments, std::size_t index) {
    static constexpr std::array<std::string_view, 9> kFileOptions{
        "-i",      "-passlogfile",           "-vstats_file",     "-progress",     "-sdp_file",
        "-attach", "-filter_complex_script", "-dump_attachment", "-filter_script"};
    if (index == 0 || index >= arguments.size()) {
        return index < arguments.size();
    }
    const std::string_view before = OptionName(arguments[index - 1]);
    return std::find(kFileOptions.begin(), kFileOptions.end(), before) == kFileOptions.end();
}

MadeKinds MadeKindsOfArguments(const std::vector<std::string>& arguments) {
    MadeKinds made;
    for (const std::string& argument : arguments) {
        made.audio = made.audio && argument != "-an";
        made.video = made.video && argument != "-vn";
    }
    return made;
}

std::optional<std::int64_t> SizeLimitOfArguments(const std::vector<std::string>& arguments) {
    std::optional<std::int64_t> limit;
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        std::int64_t bytes = 0;
        const std::string& value = arguments[i + 1];
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), bytes);
        if (arguments[i] == "-fs" && error == std::errc() && end == value.data() + value.size() &&
            bytes > 0) {
            limit = bytes;
        }
    }
    return limit;
}

}  // namespace palomix
