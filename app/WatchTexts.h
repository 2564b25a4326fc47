// The window's texts about watched folders, in its two languages: the File menu's two items, the
// dialog that adds a watch, the list of watches with their states and failed files, and what is
// said when a watch cannot be added or kept. A "{name}" in a format is replaced by the value it
// names (FillIn, app/Captions.h).
#pragma once

#include <string>
#include <string_view>

#include "app/Captions.h"
#include "engine/EngineTypes.h"
#include "settings/Language.h"

namespace palomix {

struct WatchTexts {
    // The File menu.
    std::string_view menuWatchFolder;
    std::string_view menuWatchedFolders;
    // The dialog "Watch a folder".
    std::string_view dialogTitle;
    std::string_view folderLabel;
    std::string_view settingsLabel;
    std::string_view commandLabel;
    std::string_view outputLabel;
    std::string_view subfolders;
    std::string_view browse;
    std::string_view chooseFolderTitle;
    std::string_view chooseOutputTitle;
    std::string_view watchButton;
    std::string_view cancelButton;
    std::string_view noFolder;
    std::string_view folderUnreadableFormat;  // "{path}"
    std::string_view noCommand;
    std::string_view watchedAlready;
    // The list of watches.
    std::string_view listTitle;
    std::string_view columnFolder;
    std::string_view columnCommand;
    std::string_view columnOutput;
    std::string_view columnState;
    std::string_view columnConverted;
    std::string_view columnFailed;
    std::string_view stateWatching;
    std::string_view statePaused;
    std::string_view stateMissingFormat;   // "{reason}"
    std::string_view settlingFormat;       // "{n}": appended while files are being settled
    std::string_view rescansOnly;          // appended: changes found by the rescans alone
    std::string_view recordNotKeptFormat;  // "{path}", "{reason}"
    std::string_view failuresLabel;
    std::string_view failureFormat;  // "{path}", "{reason}"
    std::string_view pauseButton;
    std::string_view resumeButton;
    std::string_view removeButton;
    std::string_view retryButton;
    std::string_view closeButton;
    std::string_view noWatches;
    // Keeping the watches for the next start.
    std::string_view notKeptFormat;      // "{reason}"
    std::string_view leftOutFormat;      // "{path}": names the file cannot keep
    std::string_view commandGoneFormat;  // "{folder}", "{path}": a kept watch's command is gone
};

const WatchTexts& WatchTextsFor(Language language);

// The state of a watch in words ("Watching", "Waiting for the folder: ...").
std::string WatchStateWords(const WatchView& view, const WatchTexts& texts,
                            const RunTexts& runTexts);
// Why a file of a watch did not convert, in words.
std::string WatchFailureWords(const JobResult& result, const RunTexts& runTexts);

}  // namespace palomix
