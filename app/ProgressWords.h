// The window's words for progress: the queue's share and time left on the status strip, and
// the tool tip of a converting row. A number that is not known is left out, never guessed.
#pragma once

#include <cstdint>
#include <string>

#include "app/RunOptionTexts.h"
#include "engine/EngineTypes.h"

namespace palomix {

// A share as the window shows it: whole percents, rounded down so that a job is never shown
// further along than it is, and kept within 0 to 100.
int WholePercent(double percent);

// The time left in words: under a minute, or about so many minutes (rounded to the nearest
// minute), or hours and minutes.
std::string TimeLeftWords(std::int64_t seconds, const RunOptionTexts& texts);

// What the status strip adds after the jobs left: the queue's percentage and time left, those
// that are known, each after the separator; empty when neither is.
std::string QueueProgressWords(const QueueProgress& queue, const RunOptionTexts& texts);

// The tool tip of a converting row: the job's percentage, the command line running when the
// job has several ("2/3", with that line's percentage when known), the speed and the time
// left, a line each; empty when none of them is known.
std::string JobProgressToolTip(const JobProgress& job, const RunOptionTexts& texts);

}  // namespace palomix
