// The folder the window's "Add files" and "Add a folder" dialogs open in: the one the user last
// took files from, kept in the state file (section ADD, key FOLDER) from one start to the next.
#pragma once

#include <optional>
#include <string>

#include "settings/IniFile.h"

namespace palomix {

// The folder kept in the state file; nullopt when there is none (or it was too long to be
// kept whole).
std::optional<std::string> ReadAddFilesFolder(IniReader& reader, const std::string& stateFile);

// Keeps the folder in the state file, leaving every other key as it is. A folder that cannot be
// kept (a name that is not UTF-8 or too long to read back whole, a file that cannot be written)
// is left out; false then. The folder of the state file must exist.
bool SaveAddFilesFolder(const std::string& stateFile, const std::string& folder);

}  // namespace palomix
