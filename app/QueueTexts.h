// The window's texts about its queue, in its two languages: the File menu with its two ways of
// adding files, the grid's context menu, the question at a start about the files a previous
// run left unfinished, the question about files that arrive from outside the window, and what
// is said when the kept queue cannot be read or written. A "{name}" in a format is replaced by
// the value it names (FillIn, app/Captions.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/MessageSink.h"
#include "settings/Language.h"

namespace palomix {

struct QueueTexts {
    // The File menu and its dialogs.
    std::string_view menuFile;
    std::string_view menuAddFiles;
    std::string_view menuAddFolder;
    std::string_view addFilesTitle;
    std::string_view addFolderTitle;
    // The grid's context menu.
    std::string_view startWaiting;
    std::string_view stopThisFile;
    std::string_view removeFromQueue;
    std::string_view removeAllWaiting;
    std::string_view moveToTop;
    std::string_view openOutputFolder;
    std::string_view copyCommandLines;
    // The question at a start, "{jobs}", what its answers do, and its three answers.
    std::string_view continueQuestionFormat;
    std::string_view continueDetail;
    std::string_view continueAnswer;
    std::string_view discardAnswer;
    std::string_view laterAnswer;
    // The question about files from outside the window: "{jobs}", "{command}" (its title) and
    // "{folder}"; what "No" does; the two answers.
    std::string_view arrivalQuestionFormat;
    std::string_view arrivalDetail;
    std::string_view yesAnswer;
    std::string_view noAnswer;
    // The kept queue names a settings file or command that is gone: "{path}".
    std::string_view settingsGoneFormat;
    // The kept queue cannot be read: "{path}" where it was put, "{reason}" what is wrong.
    std::string_view damagedFormat;
    // ... and could not be put aside either (it was removed): "{reason}".
    std::string_view damagedRemovedFormat;
    // The queue cannot be kept for the next start: "{reason}", which names the file.
    std::string_view notKeptFormat;
};

const QueueTexts& QueueTextsFor(Language language);

// The question at a start about `files` files left unfinished: continue them (the default),
// discard them, or later: they wait in the list (also with Escape or by closing the question,
// so that only an explicit "Discard" forgets them).
Question ContinueQueueQuestion(std::size_t files, const QueueTexts& texts);
enum ContinueAnswer { kContinueQueue = 0, kDiscardQueue = 1, kContinueLater = 2 };

// The question about `files` files from outside the window: convert them with the command and
// into the folder (the default), or not now (also with Escape): they wait in the list.
Question ArrivalQuestion(std::size_t files, const std::string& command, const std::string& folder,
                         const QueueTexts& texts);
enum ArrivalAnswer { kConvertArrivals = 0, kKeepArrivalsWaiting = 1 };

}  // namespace palomix
