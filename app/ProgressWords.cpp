#include "app/ProgressWords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/Captions.h"

namespace palomix {

namespace {

std::string PercentText(double percent) {
    return std::to_string(WholePercent(percent));
}

// "2.1", "0.25", "12": two significant digits are enough to read a speed.
std::string SpeedText(double speed) {
    char text[32];
    const int decimals = speed < 1 ? 2 : speed < 10 ? 1 : 0;
    std::snprintf(text, sizeof text, "%.*f", decimals, speed);
    return text;
}

void AddLine(std::string& text, const std::string& line) {
    if (!text.empty()) {
        text.append("\n");
    }
    text.append(line);
}

}  // namespace

int WholePercent(double percent) {
    if (!(percent > 0)) {  // NaN too
        return 0;
    }
    return static_cast<int>(std::floor(std::min(percent, 100.0)));
}

std::string TimeLeftWords(std::int64_t seconds, const RunOptionTexts& texts) {
    if (seconds < 60) {
        return std::string(texts.lessThanAMinuteLeft);
    }
    const std::int64_t minutes = (seconds + 30) / 60;
    if (minutes < 60) {
        return FillIn(texts.minutesLeftFormat, "{minutes}", std::to_string(minutes));
    }
    const std::string hours = std::to_string(minutes / 60);
    if (minutes % 60 == 0) {
        return FillIn(texts.hoursLeftFormat, "{hours}", hours);
    }
    return FillIn(FillIn(texts.hoursMinutesLeftFormat, "{hours}", hours), "{minutes}",
                  std::to_string(minutes % 60));
}

std::string QueueProgressWords(const QueueProgress& queue, const RunOptionTexts& texts) {
    std::string words;
    if (queue.percent) {
        words.append(texts.progressSeparator)
            .append(FillIn(texts.percentFormat, "{percent}", PercentText(*queue.percent)));
    }
    if (queue.secondsLeft) {
        words.append(texts.progressSeparator).append(TimeLeftWords(*queue.secondsLeft, texts));
    }
    return words;
}

std::string JobProgressToolTip(const JobProgress& job, const RunOptionTexts& texts) {
    std::string tip;
    if (job.percent) {
        AddLine(tip, FillIn(texts.jobPercentFormat, "{percent}", PercentText(*job.percent)));
    }
    if (job.lines > 1) {
        const std::string_view format =
            job.linePercent ? texts.linePercentFormat : texts.lineFormat;
        std::string line = FillIn(FillIn(format, "{line}", std::to_string(job.line)), "{lines}",
                                  std::to_string(job.lines));
        if (job.linePercent) {
            line = FillIn(line, "{percent}", PercentText(*job.linePercent));
        }
        AddLine(tip, line);
    }
    if (job.speed && std::isfinite(*job.speed)) {
        AddLine(tip, FillIn(texts.speedFormat, "{speed}", SpeedText(*job.speed)));
    }
    if (job.secondsLeft) {
        AddLine(tip, TimeLeftWords(*job.secondsLeft, texts));
    }
    if (!job.renamedTo.empty()) {
        AddLine(tip, FillIn(texts.renamedFormat, "{name}", job.renamedTo));
    }
    return tip;
}

}  // namespace palomix
