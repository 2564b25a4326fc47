// The texts of the window in its two languages. B1Click and B2Click write the captions in
// the order of the fields below: window caption, the five menu items, the four labels, the
// button, the three header cells of the job grid, then the menu items added since (the failure
// list, the About box). The Japanese ones are also the texts the window is created with.
#pragma once

#include <string>
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
    std::string_view menuS2;  // Settings: the failure list
    std::string_view menuH3;  // Help: the About box
    // The names screen readers say for the folder button and the queue.
    std::string_view folderButton;
    std::string_view queueName;
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
    std::string_view launchFailedFormat;   // "{reason}": why the run stopped at row 1
    // The counts of a batch, "{n}" each, joined by partSeparator; zero counts are left out.
    std::string_view convertedFormat;
    std::string_view failedFormat;
    std::string_view stoppedFormat;
    std::string_view skippedFormat;
    std::string_view notAddedFormat;
    std::string_view partSeparator;
    std::string_view clickForDetails;  // appended while the line points to the list
    // The list holds entries of earlier batches: the whole line, or after the counts.
    std::string_view earlierEntriesAlone;
    std::string_view earlierEntriesAfter;
    std::string_view waitingForCommandFormat;  // "{jobs}": dropped files wait for a command
    std::string_view waitingForStartFormat;    // "{jobs}": files wait for the user's start
    std::string_view closingWhenDoneFormat;    // "{jobs}": the window closes after the run
    std::string_view closingAfterStop;         // the window closes once the stop has ended all
    // The question of a close during a run and its three answers.
    std::string_view closeQuestion;
    std::string_view closeStopAndQuit;
    std::string_view closeWhenDone;
    std::string_view closeCancel;
    std::string_view notStartedFormat;  // "{program}": the grid status of a job not started
    std::string_view failureWindowTitle;
    std::string_view failureFile;  // labels of one entry of the failure list
    std::string_view failureCommandLine;
    std::string_view failureEnd;
    std::string_view failureOutput;
    std::string_view failureStopped;  // a job ended by the Stop button
    std::string_view failureNoOutput;
    std::string_view failureReason;  // the label of a readable reason
    std::string_view closeButton;
    std::string_view convertAgainButton;
    std::string_view clearListButton;
    // How a command ended or why it did not run.
    std::string_view exitCodeFormat;            // "{code}"
    std::string_view signalFormat;              // "{code}"
    std::string_view timeLimitReached;          // appended: ended by the time limit
    std::string_view playerNotAttachedFormat;   // "{player}": "PSP" or "WALKMAN"
    std::string_view lineTooLongFormat;         // "{bytes}": the most a line may hold
    std::string_view settingsUnreadableFormat;  // "{path}"
    // An unquoted program path with blanks that finds another program first: "{meant}" the
    // program the line names, "{found}" the one that would start. As a line not run, and as
    // the reason a program could not be started.
    std::string_view ambiguousProgramNotRunFormat;
    std::string_view ambiguousProgramFormat;
    std::string_view nothingToRun;
    std::string_view outputExistsFormat;  // "{path}"
    std::string_view notConvertible;
    std::string_view tooLargeForPlayerFormat;  // "{path}": an output a FAT32 card cannot hold
    std::string_view noFreeName;
    std::string_view outputNotKeptFormat;  // "{path}"
    std::string_view outputNotMadeFormat;  // "{path}"
    // The check of a done job's outputs: "{path}" each; "{output}" and "{input}" in seconds.
    std::string_view outputMissingFormat;
    std::string_view outputEmptyFormat;
    std::string_view outputUnreadableFormat;  // "{why}": one of the faults below
    std::string_view outputTooShortFormat;
    // Why an output cannot be played to its end.
    std::string_view faultNotMedia;
    std::string_view faultNoStream;
    std::string_view faultNoLength;
    std::string_view faultCut;
    std::string_view faultProbeCrashed;
    std::string_view faultProbeTimedOut;
    std::string_view outputsNotChecked;  // appended to a batch's counts: no cores/ffprobe
    // What a command needs of cores/ffmpeg that it lacks: "{name}".
    std::string_view encoderMissingFormat;
    std::string_view formatMissingFormat;
    // Why a program could not be started.
    std::string_view emptyCommandLine;
    std::string_view programNotFoundFormat;    // "{program}"
    std::string_view programNotStartedFormat;  // "{program}", "{detail}"
    std::string_view launcherClosed;
    // Why a dropped path added no job.
    std::string_view notAddedNotFound;
    std::string_view notAddedUnreadableFormat;  // "{reason}": the system's error in words
    std::string_view notAddedTooLong;
    // A system error code in words.
    std::string_view errorAccessDenied;
    std::string_view errorNotFound;
    std::string_view errorNotExecutable;
    std::string_view errorOtherFormat;  // "{code}"
    // What the converter's last lines say, as a sentence (see ConverterReasons.h).
    std::string_view reasonNoMatchingStream;
    std::string_view reasonNoSuchFile;
    std::string_view reasonInvalidData;
    std::string_view reasonUnknownColours;
    std::string_view reasonPermissionDenied;
    std::string_view reasonDiskFull;
    std::string_view reasonEncoderMissingFormat;  // "{encoder}"
    // A file or page that could not be opened with the system's program: "{target}", and
    // "{reason}" (the system's error in words) or "{code}" (the opener's exit code).
    std::string_view openNotStartedFormat;
    std::string_view openFailedFormat;
};

const RunTexts& RunTextsFor(Language language);

// The texts of the About box.
struct AboutTexts {
    std::string_view title;
    std::string_view versionFormat;  // "{version}"
    std::string_view webSite;
    std::string_view licence;
    std::string_view licenceNotStated;   // the build names no licence
    std::string_view converter;          // the label of the ffmpeg line
    std::string_view converterLooking;   // asked, no answer yet
    std::string_view converterMissing;   // not in cores
    std::string_view converterNoAnswer;  // it gave no answer that names its version
    std::string_view gpl3;               // ffmpeg's licence, as its configuration says
    std::string_view gpl2;
    std::string_view lgpl3;
    std::string_view lgpl21;
    std::string_view nonfree;
    std::string_view probe;      // the label of how media files are probed
    std::string_view probeNone;  // they are not probed
    std::string_view programFolder;
    std::string_view stateFile;
    std::string_view settingsFolders;
    std::string_view closeButton;
};

const AboutTexts& AboutTextsFor(Language language);

// The format with its first "{field}" replaced by the value.
std::string FillIn(std::string_view format, std::string_view field, const std::string& value);

}  // namespace palomix
