// The window's watched folders, kept in the state file (Palomix.ini, section WATCH) so that
// they are watched again at the next start, paused ones paused:
//
//   [WATCH]
//   COUNT=2
//   FOLDER1=/home/me/Camera      SETTINGS1=<settings file>   ITEM1=<command's item number>
//   OUTPUT1=/home/me/Phone       SUBFOLDERS1=1               PAUSED1=0
//
// A watch whose keys are missing or cannot be read is passed over; keys beyond COUNT are left
// as they are (a list that shrank) and mean nothing.
#pragma once

#include <string>
#include <vector>

#include "settings/CatalogueTypes.h"
#include "settings/IniFile.h"

namespace palomix {

struct KeptWatch {
    std::string folder;
    ChosenCommand command;
    std::string outputFolder;
    bool subfolders = false;
    bool paused = false;

    friend bool operator==(const KeptWatch&, const KeptWatch&) = default;
};

// The watches kept in the state file, in their order; none for a missing file.
std::vector<KeptWatch> ReadKeptWatches(IniReader& reader, const std::string& stateFile);

// Keeps the watches in the state file, leaving every other section as it is. A watch whose
// names cannot be written so that they read back whole (not UTF-8, a line break, too long) is
// left out and named in the result. Throws IniWriteError when the file cannot be written.
std::vector<std::string> SaveKeptWatches(const std::string& stateFile,
                                         const std::vector<KeptWatch>& watches);

}  // namespace palomix
