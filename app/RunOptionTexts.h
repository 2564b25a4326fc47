// The window's texts for the run choices of the Settings menu, the progress it shows, the
// notice at the end of a run and the countdown before a suspend or a shut-down, in its two
// languages. A "{name}" in a format is replaced by the value it names (FillIn).
#pragma once

#include <string_view>

#include "settings/Language.h"

namespace palomix {

struct RunOptionTexts {
    // The Settings menu: submenus and their choices, check items, and the two stops.
    std::string_view menuSimultaneous;
    std::string_view simultaneousPerCore;  // after the choices 1 to 4
    std::string_view menuExisting;
    std::string_view existingOverwrite;
    std::string_view existingKeepBoth;
    std::string_view existingSkip;
    std::string_view menuKeepDates;
    std::string_view menuKeepTree;
    std::string_view menuWhenDone;
    std::string_view doneNothing;
    std::string_view doneSound;
    std::string_view doneQuit;
    std::string_view doneSuspend;
    std::string_view doneShutDown;
    std::string_view menuFinishAfterCurrent;
    std::string_view menuStopAll;
    // The queue's progress on the status strip, each part after the separator.
    std::string_view progressSeparator;
    std::string_view percentFormat;  // "{percent}"
    std::string_view lessThanAMinuteLeft;
    std::string_view minutesLeftFormat;       // "{minutes}"
    std::string_view hoursLeftFormat;         // "{hours}"
    std::string_view hoursMinutesLeftFormat;  // "{hours}", "{minutes}"
    // The tool tip of a converting row, a line each.
    std::string_view jobPercentFormat;   // "{percent}"
    std::string_view lineFormat;         // "{line}", "{lines}"
    std::string_view linePercentFormat;  // "{line}", "{lines}", "{percent}"
    std::string_view speedFormat;        // "{speed}"
    std::string_view renamedFormat;      // "{name}": the outputs' name when it is not the input's
    // The title of the desktop notification at the end of a run.
    std::string_view noticeDone;
    std::string_view noticeStopped;
    std::string_view noticeCutShort;  // a command could not start, the output folder is unusable
    // The countdown before the computer is suspended or shut down.
    std::string_view suspendCountdownFormat;   // "{seconds}"
    std::string_view shutDownCountdownFormat;  // "{seconds}"
    std::string_view countdownCancel;
    std::string_view suspendFailedFormat;   // "{reason}"
    std::string_view shutDownFailedFormat;  // "{reason}"
};

const RunOptionTexts& RunOptionTextsFor(Language language);

}  // namespace palomix
