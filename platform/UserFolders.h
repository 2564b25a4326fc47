// The user's own folders: where a program that may not write into its own folder keeps the
// user's files, and where the user keeps videos.
//
// POSIX follows the XDG base and user directories: the configuration folder is
// $XDG_CONFIG_HOME (an absolute path) or ~/.config, the state folder $XDG_STATE_HOME or
// ~/.local/state; the videos folder is XDG_VIDEOS_DIR of
// user-dirs.dirs in that folder, as xdg-user-dir reports it. Windows asks the shell for the
// known folders (the roaming and the local application data folders, the Videos library folder).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace palomix {

// The user's home folder: $HOME, else the password database's entry (POSIX);
// %USERPROFILE% / FOLDERID_Profile (Windows). nullopt when none is known.
std::optional<std::string> HomeFolder();

// The folder this program keeps the user's files in when its own folder is not writable:
// "$XDG_CONFIG_HOME/palomix" or "~/.config/palomix" (POSIX), "%APPDATA%\Palomix" (Windows).
// It need not exist yet. nullopt when neither the configuration nor the home folder is known.
std::optional<std::string> ProgramUserFolder();

// The folder this program keeps the user's state in, such as the logs of its runs:
// "$XDG_STATE_HOME/palomix" or "~/.local/state/palomix" (POSIX), "%LOCALAPPDATA%\Palomix"
// (Windows). It need not exist yet. nullopt when neither the state nor the home folder is known.
std::optional<std::string> ProgramStateFolder();

// The user's videos folder; nullopt when the system names none (POSIX: no user-dirs.dirs, or
// no XDG_VIDEOS_DIR line in it). It need not exist.
std::optional<std::string> UserVideosFolder();

// XDG_VIDEOS_DIR of the text of a user-dirs.dirs file: a line XDG_VIDEOS_DIR="$HOME/rest"
// gives home + "/rest" ("$HOME" alone gives home), XDG_VIDEOS_DIR="/absolute" the path as it is;
// backslash escapes inside the quotes are taken literally. The last such line counts; any other
// form is not a folder. nullopt when there is none.
std::optional<std::string> VideosFolderOfUserDirs(std::string_view fileText, std::string_view home);

}  // namespace palomix
