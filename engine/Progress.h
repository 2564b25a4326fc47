// How far a conversion has come, read from what the converter writes, and how long the rest
// will take. ffmpeg writes a statistics line ("... time=00:01:02.50 bitrate=... speed=2.1x",
// ended by a carriage return) to its log while it converts, or, with -progress, key=value lines
// ("out_time_us=62500000", "speed=2.1x"). The length of the input comes from ffprobe. Without a
// length (a picture) or a position (a converter that says nothing) there is no percentage: the
// numbers are absent rather than wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EngineTypes.h"

namespace palomix {

// What the end of a converter's log says of its progress.
struct LogProgress {
    std::optional<double> position;  // media seconds converted, from the last statistics
    std::optional<double> speed;     // "2.1x": media seconds per wall-clock second
};

// Reads the last position and speed in the text (the last few kilobytes of a log). Lines may
// end with "\n", "\r\n" or "\r"; a half-written last line, garbage and "N/A" count as nothing.
LogProgress ProgressInLog(std::string_view tail);

// True for a line that only reports progress (a statistics line, or a -progress key=value
// line), which the last lines shown for a failed command leave out.
bool IsStatisticsLine(std::string_view line);

// Follows one job: the position of each line as its log shows it, kept from going backwards
// within a line and from passing 100, and the job's share done, weighting only the lines that
// convert the input (those whose log shows a position; a line that ends without one, such as a
// thumbnail, drops out of the count).
class JobProgressTracker {
public:
    // `lines`: the lines of the job that are to run; `duration`: the input's length, if known
    // (a length of none, or beyond any media, counts as not known).
    void Start(int lines);
    void SetDuration(std::optional<double> duration);
    const std::optional<double>& Duration() const { return duration_; }

    // A new line of the job began.
    void LineStarted();
    // What the running line's log shows now; a position or speed beyond any media counts as none.
    void Update(const LogProgress& progress);
    // The running line ended.
    void LineEnded();

    // One second more of this job: the time left is worked out anew (smoothed).
    void Tick();
    std::int64_t Seconds() const { return seconds_; }

    JobProgress Now() const;
    // Media seconds converted so far (for the queue's rate); 0 without a length.
    double MediaDone() const;

private:
    std::optional<double> LineFraction() const;
    std::optional<double> JobFraction() const;

    int lines_ = 0;
    int line_ = 0;             // lines started
    int converted_ = 0;        // lines ended that showed a position
    int withoutPosition_ = 0;  // lines ended that never showed one
    std::optional<double> duration_;
    std::optional<double> position_;  // of the running line, the highest seen
    std::optional<double> speed_;
    std::int64_t seconds_ = 0;
    std::optional<double> smoothedLeft_;
};

}  // namespace palomix
