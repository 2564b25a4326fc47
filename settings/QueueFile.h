// The queue kept from one start to the next: the files still to be converted, in list order,
// each with the subfolder it lay in below a dropped folder, and the settings they were to be
// converted with (settings file, command, output folder); a file queued with settings of its
// own (a watched folder's) keeps its own command and output folder. It is the file
// Palomix.queue beside the state file, written whole and atomically. The window writes it while
// its list changes and removes it when the list runs empty, so a queue file found at a start
// holds files that were not finished (the one that was converting when the program ended comes
// first). palomix-batch keeps no queue.
//
// The file is UTF-8 text with one item per line (LF):
//
//   Palomix queue 1
//   settings=<settings file>
//   command=<item number of the command, -1 for none>
//   output=<output folder>
//   files=<count>
//   <path>            one line per file, in list order; a file that lay in a subfolder of a
//   <path><TAB><sub>  dropped folder has the subfolder after a tab
//   end
//
// When a file has a command or an output folder of its own, the file is of the second form,
// which lists those once each before the files, and such a file's line names them by number
// (from 1; 0 for none, and the subfolder may then be empty):
//
//   Palomix queue 2
//   settings=... command=... output=...     as above
//   commands=<count>
//   <item number><TAB><settings file>       one line per command
//   outputs=<count>
//   <output folder>                          one line per folder
//   files=<count>
//   <path><TAB><sub><TAB><command number><TAB><output folder number>
//   end
//
// The first form is written whenever it says all, so that an earlier version reads it.
//
// Names are written as they are but for the bytes that would break a line or are not UTF-8:
// every control byte (tab and line ends included), DEL, the backslash and each byte of a
// sequence that is not well-formed UTF-8 is written "\xHH". So any name, in any encoding,
// reads back as the same bytes, and a name in UTF-8 (Japanese, say) stays readable.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "settings/CatalogueTypes.h"

namespace palomix {

inline constexpr std::string_view kQueueFileName = "Palomix.queue";

// The queue file that goes with a state file: the same folder, kQueueFileName.
std::string QueueFilePath(const std::string& stateFile);

struct QueuedFile {
    std::string path;
    std::string subfolder = {};  // below the dropped folder it was found in; "" for none
    // The file's own command and output folder (a watched folder's); nullopt and "": the
    // queue's.
    std::optional<ChosenCommand> command = {};
    std::string outputFolder = {};

    friend bool operator==(const QueuedFile&, const QueuedFile&) = default;
};

struct SavedQueue {
    std::string settingsFile;
    std::int32_t commandItem = -1;
    std::string outputFolder;
    std::vector<QueuedFile> files;

    friend bool operator==(const SavedQueue&, const SavedQueue&) = default;
};

// A queue file that does not read as one. what() says where and what is wrong.
class QueueFileDamaged : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of the file, and back. DecodeQueue throws QueueFileDamaged for anything that is
// not exactly what EncodeQueue writes (a CR before a line's LF is allowed).
std::string EncodeQueue(const SavedQueue& queue);
SavedQueue DecodeQueue(std::string_view text);

// A name as the file writes it, and back (nullopt: not a name EscapeQueueName writes).
std::string EscapeQueueName(std::string_view name);
std::optional<std::string> UnescapeQueueName(std::string_view text);

// Replaces the file with the queue, atomically; a queue without files removes the file
// instead. The folder must exist. Throws FileError (platform/AtomicFile.h).
void SaveQueueFile(const std::string& path, const SavedQueue& queue);

// What a start finds.
struct QueueFileRead {
    enum class State {
        None,     // no queue file: nothing was left unfinished
        Found,    // `queue` holds the files left unfinished
        Damaged,  // the file is there but does not read as a queue; `problem` says why
    };
    State state = State::None;
    SavedQueue queue;
    std::string problem;
};

// Never throws: a file that cannot be read counts as damaged. A file with no files in it
// counts as none.
QueueFileRead ReadQueueFile(const std::string& path);

// Where a damaged queue file is put aside: "<path>.damaged".
std::string DamagedQueueFilePath(const std::string& path);

// Moves a damaged queue file to DamagedQueueFilePath (replacing an earlier one there) so that
// it is no longer offered and can still be looked at. When it cannot be moved it is removed.
// The error of the move, none when it was moved.
std::error_code SetAsideQueueFile(const std::string& path);

}  // namespace palomix
