// Which entries of a watched folder a watch passes over, by their names alone: hidden ones
// (a name that starts with '.', as this program's own temporary files ".palomix-XXXXXX-NAME"
// and the state file's ".NAME.tmp-..." do), files that are still being downloaded (".part",
// ".partial", ".crdownload", ".download", ".tmp" at the end, in any letter case) and the
// folder-view files a desktop leaves behind ("Thumbs.db", "desktop.ini"). A hidden folder is
// not walked into.
#pragma once

#include <string_view>

namespace palomix {

// True for a file a watch never takes.
bool PassedOverFile(std::string_view name);
// True for a subfolder a watch never walks into.
bool PassedOverFolder(std::string_view name);

}  // namespace palomix
