#include "engine/Progress.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/MediaNumbers.h"

namespace palomix {

namespace {

// No time left is shown before the job has run this long.
constexpr std::int64_t kSecondsBeforeTimeLeft = 2;

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr == text.data() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// "HH:MM:SS.ss" (hours may have more digits; a leading '-' is no position). Minutes and seconds
// beyond a clock's, and a time beyond any media, are no position either.
std::optional<double> Clock(std::string_view text) {
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos || text.starts_with('-')) {
        return std::nullopt;
    }
    const auto hours = Number(text.substr(0, first));
    const auto minutes = Number(text.substr(first + 1, second - first - 1));
    const auto seconds = Number(text.substr(second + 1));
    if (!hours || !minutes || !seconds || *hours < 0 || *hours > kLongestMediaSeconds / 3600 ||
        *minutes < 0 || *minutes >= 60 || *seconds < 0 || *seconds >= 60) {
        return std::nullopt;
    }
    return MediaSeconds(*hours * 3600 + *minutes * 60 + *seconds);
}

// The value after `key` up to the next blank or the end of the line.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view key) {
    std::size_t at = line.find(key);
    while (at != std::string_view::npos && at > 0 && line[at - 1] != ' ' && line[at - 1] != '\t') {
        at = line.find(key, at + 1);  // "out_time=" holds "time=": only a whole key counts
    }
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t start = at + key.size();
    while (start < line.size() && line[start] == ' ') {
        ++start;  // ffmpeg pads some values: "size=     256kB"
    }
    std::size_t end = start;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') {
        ++end;
    }
    return line.substr(start, end - start);
}

std::optional<double> Speed(std::string_view value) {
    if (value.ends_with('x')) {
        value.remove_suffix(1);
    }
    const auto speed = Number(value);
    return speed ? ConversionSpeed(*speed) : std::nullopt;
}

// The lines of the text, each without its end; a trailing piece without an end is left out
// when `wholeOnly` (a line still being written).
std::vector<std::string_view> LinesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;  // what follows the last end is not finished yet
}

}  // namespace

LogProgress ProgressInLog(std::string_view tail) {
    LogProgress progress;
    const std::vector<std::string_view> lines = LinesOf(tail);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (!progress.position) {
            if (const auto us = ValueOf(*line, "out_time_us=")) {
                if (const auto value = Number(*us)) {
                    progress.position = MediaSeconds(*value / 1e6);
                }
            } else if (const auto time = ValueOf(*line, "time=")) {
                progress.position = Clock(*time);
            } else if (const auto out = ValueOf(*line, "out_time=")) {
                progress.position = Clock(*out);
            }
            if (progress.position && !progress.speed) {
                if (const auto speed = ValueOf(*line, "speed=")) {
                    progress.speed = Speed(*speed);
                }
            }
        }
        if (!progress.speed && line->starts_with("speed=")) {
            progress.speed = Speed(line->substr(6));
        }
        if (progress.position && progress.speed) {
            break;
        }
    }
    return progress;
}

bool IsStatisticsLine(std::string_view line) {
    const bool stats = line.find("time=") != std::string_view::npos &&
                       (line.find("bitrate=") != std::string_view::npos ||
                        line.find("speed=") != std::string_view::npos);
    if (stats) {
        return true;
    }
    // -progress writes one key=value a line.
    static constexpr std::string_view kProgressKeys[] = {
        "frame=",   "fps=",        "stream_",      "bitrate=", "total_size=",
        "out_time", "dup_frames=", "drop_frames=", "speed=",   "progress="};
    return std::any_of(std::begin(kProgressKeys), std::end(kProgressKeys),
                       [line](std::string_view key) {
                           return line.starts_with(key) && line.find(' ') == std::string_view::npos;
                       });
}

void JobProgressTracker::Start(int lines) {
    *this = JobProgressTracker{};
    lines_ = std::max(lines, 0);
}

void JobProgressTracker::SetDuration(std::optional<double> duration) {
    duration_ = duration && *duration > 0 ? MediaSeconds(*duration) : std::nullopt;
}

void JobProgressTracker::LineStarted() {
    ++line_;
    position_.reset();
    speed_.reset();
}

void JobProgressTracker::Update(const LogProgress& progress) {
    const std::optional<double> position =
        progress.position ? MediaSeconds(*progress.position) : std::nullopt;
    if (position && (!position_ || *position > *position_)) {
        position_ = position;  // never backwards within a line
    }
    if (const std::optional<double> speed =
            progress.speed ? ConversionSpeed(*progress.speed) : std::nullopt) {
        speed_ = speed;
    }
}

void JobProgressTracker::LineEnded() {
    if (position_) {
        ++converted_;
    } else {
        ++withoutPosition_;
    }
    position_.reset();
    speed_.reset();
}

std::optional<double> JobProgressTracker::LineFraction() const {
    if (!duration_ || !position_) {
        return std::nullopt;
    }
    return std::clamp(*position_ / *duration_, 0.0, 1.0);
}

std::optional<double> JobProgressTracker::JobFraction() const {
    if (!duration_) {
        return std::nullopt;
    }
    // The lines that convert: those that showed a position, and those still to come.
    const int counted = std::max(1, lines_ - withoutPosition_);
    const std::optional<double> current = LineFraction();
    if (converted_ == 0 && !current) {
        return std::nullopt;
    }
    return std::clamp((converted_ + current.value_or(0.0)) / counted, 0.0, 1.0);
}

JobProgress JobProgressTracker::Now() const {
    JobProgress now;
    now.line = line_;
    now.lines = lines_;
    if (const auto line = LineFraction()) {
        now.linePercent = *line * 100;
    }
    now.speed = speed_;
    if (const std::optional<double> job = JobFraction()) {
        now.percent = *job * 100;
    }
    if (smoothedLeft_ && seconds_ >= kSecondsBeforeTimeLeft) {
        now.secondsLeft = WholeSeconds(std::max(0.0, *smoothedLeft_));
    }
    return now;
}

void JobProgressTracker::Tick() {
    ++seconds_;
    const std::optional<double> job = JobFraction();
    if (!job || *job <= 0.005) {
        return;
    }
    const double left = static_cast<double>(seconds_) * (1 - *job) / *job;
    if (!MediaSeconds(left)) {
        return;  // a share so small that no time left can be told
    }
    smoothedLeft_ = smoothedLeft_ ? *smoothedLeft_ * 0.7 + left * 0.3 : left;
}

double JobProgressTracker::MediaDone() const {
    const std::optional<double> job = JobFraction();
    return duration_ && job ? *duration_ * *job : 0.0;
}

}  // namespace palomix
