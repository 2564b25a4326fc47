// The texts of the window in its two languages. B1Click and B2Click write the captions in
// the order of the fields below: window caption, the five menu items, the four labels, the
// button, the three header cells of the job grid. The Japanese ones are also the texts the
// window is created with.
#pragma once

#include <string_view>

#include "settings/Language.h"

namespace palomix {

// The application title (the task-bar text); the same in both languages.
inline constexpr std::string_view kApplicationTitle = "Ferrovid＋Ferrotune＋Ferropix";

// Captions that no language command changes.
inline constexpr std::string_view kMenuB0Caption = "Bilingual(&B)";
inline constexpr std::string_view kMenuB1Caption = "Japanese(&J)";
inline constexpr std::string_view kMenuB2Caption = "English(&E)";

struct WindowCaptions {
    std::string_view windowCaption;
    std::string_view menuS0;
    std::string_view menuS1;
    std::string_view menuH0;
    std::string_view menuH1;
    std::string_view menuH2;
    std::string_view label1;
    std::string_view label2;
    std::string_view label3;
    std::string_view label4;
    std::string_view button1;
    std::string_view headerStatus;
    std::string_view headerFileName;
    std::string_view headerFullPath;
};

const WindowCaptions& CaptionsFor(Language language);

// Texts of the run status strip, the failure list, the grid's status column and the messages
// the window adds. A "{name}" in a format is replaced by the value it names.
struct RunTexts {
    std::string_view chooseSettings;       // a drop with no settings file or command chosen
    std::string_view stateNotSaved;        // followed by the reason, which names the file
    std::string_view outputFolderTooLong;  // the output folder cannot be remembered whole
    std::string_view stopFailed;           // the Stop button found nothing to stop
    std::string_view jobsWaitingFormat;    // "{jobs}": jobs in the list during a run
    std::string_view failuresFormat;       // "{failed}": failed or stopped jobs so far
    std::string_view launchFailedFormat;   // "{reason}": why the run stopped at row 1
    std::string_view notStartedFormat;     // "{program}": the grid status of a job not started
    std::string_view failureWindowTitle;
    std::string_view failureFile;  // labels of one entry of the failure list
    std::string_view failureCommandLine;
    std::string_view failureEnd;
    std::string_view failureOutput;
    std::string_view failureStopped;  // a job ended by the Stop button
    std::string_view failureNoOutput;
    std::string_view closeButton;
    // How a command ended or why it did not run.
    std::string_view exitCodeFormat;            // "{code}"
    std::string_view signalFormat;              // "{code}"
    std::string_view playerNotAttachedFormat;   // "{player}": "PSP" or "WALKMAN"
    std::string_view lineTooLongFormat;         // "{bytes}": the most a line may hold
    std::string_view settingsUnreadableFormat;  // "{path}"
    std::string_view nothingToRun;
    std::string_view outputExistsFormat;  // "{path}"
    std::string_view notConvertible;
    std::string_view tooLargeForPlayer;
    std::string_view noFreeName;
    std::string_view outputNotKeptFormat;  // "{path}"
    // Why a program could not be started.
    std::string_view emptyCommandLine;
    std::string_view programNotFoundFormat;    // "{program}"
    std::string_view programNotStartedFormat;  // "{program}", "{detail}"
    std::string_view launcherClosed;
};

const RunTexts& RunTextsFor(Language language);

}  // namespace palomix
