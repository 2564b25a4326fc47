// The window's texts about its queue, in its two languages: the File menu with its two ways of
// adding files, the grid's context menu, the question at a start about the files a previous
// run left unfinished, and what is said when the kept queue cannot be read or written. A
// "{name}" in a format is replaced by the value it names (FillIn, app/Captions.h).
#pragma once

#include <cstddef>
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
    std::string_view stopThisFile;
    std::string_view removeFromQueue;
    std::string_view removeAllWaiting;
    std::string_view moveToTop;
    std::string_view openOutputFolder;
    std::string_view copyCommandLines;
    // The question at a start, "{jobs}", and its two answers.
    std::string_view continueQuestionFormat;
    std::string_view continueAnswer;
    std::string_view discardAnswer;
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

// The question at a start about `files` files left unfinished: continue them (the default) or
// discard them (also with Escape).
Question ContinueQueueQuestion(std::size_t files, const QueueTexts& texts);
enum ContinueAnswer { kContinueQueue = 0, kDiscardQueue = 1 };

}  // namespace palomix
