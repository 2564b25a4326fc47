// Where the program keeps its files for the user running it. A program folder that the user
// may write into is used as it is, portable: the state file beside the program, the settings
// files in its convert_settings, outputs into the program folder until the user chooses
// another. An installed copy whose folder the user may not write into (owned by the
// administrator) keeps the user's files in the user's own folder instead: the state file
// there, the user's settings files in a convert_settings folder there (listed after the
// program's own), and outputs go into the user's videos folder, else the home folder.
#pragma once

#include <optional>
#include <string>

namespace palomix {

struct ProgramPlaces {
    std::string programFolder;  // holds the shipped convert_settings and cores
    bool portable = true;       // the program folder is writable and holds everything
    std::string stateFile;      // Palomix.ini
    // The folder of the user's own settings files; empty when portable.
    std::string userSettingsFolder;
    // The output folder of a first start.
    std::string defaultOutputFolder;
};

// What the system says about the user, as PlaceFacts gathers it.
struct PlaceFacts {
    bool programFolderWritable = true;
    std::optional<std::string> userFolder;    // ProgramUserFolder()
    std::optional<std::string> videosFolder;  // UserVideosFolder()
    std::optional<std::string> homeFolder;    // HomeFolder()
};

// The places for a program folder and the facts given. Without a user folder to go to, the
// state file stays in the program folder (its save then fails with a message naming it).
ProgramPlaces DecideProgramPlaces(const std::string& programFolder, const PlaceFacts& facts);

// The facts of the running system: a write probe of the program folder and the user's folders.
PlaceFacts LookUpPlaceFacts(const std::string& programFolder);

// DecideProgramPlaces with the facts of the running system.
ProgramPlaces FindProgramPlaces(const std::string& programFolder);

}  // namespace palomix
