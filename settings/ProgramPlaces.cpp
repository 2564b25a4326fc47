#include "settings/ProgramPlaces.h"

#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/UserFolders.h"
#include "settings/SettingsCatalogue.h"
#include "settings/StateFile.h"

namespace palomix {

ProgramPlaces DecideProgramPlaces(const std::string& programFolder, const PlaceFacts& facts) {
    ProgramPlaces places;
    places.programFolder = programFolder;
    places.stateFile = StateFilePath(programFolder);
    places.defaultOutputFolder = programFolder;
    if (facts.programFolderWritable) {
        return places;
    }
    places.portable = false;
    if (facts.userFolder && !facts.userFolder->empty()) {
        places.stateFile = StateFilePath(*facts.userFolder);
        places.userSettingsFolder = JoinPath(*facts.userFolder, kSettingsFolderName);
    }
    if (facts.videosFolder && !facts.videosFolder->empty()) {
        places.defaultOutputFolder = *facts.videosFolder;
    } else if (facts.homeFolder && !facts.homeFolder->empty()) {
        places.defaultOutputFolder = *facts.homeFolder;
    }
    return places;
}

PlaceFacts LookUpPlaceFacts(const std::string& programFolder) {
    PlaceFacts facts;
    facts.programFolderWritable = FolderAcceptsNewFiles(programFolder);
    if (!facts.programFolderWritable) {
        facts.userFolder = ProgramUserFolder();
        facts.videosFolder = UserVideosFolder();
        facts.homeFolder = HomeFolder();
    }
    return facts;
}

ProgramPlaces FindProgramPlaces(const std::string& programFolder) {
    return DecideProgramPlaces(programFolder, LookUpPlaceFacts(programFolder));
}

}  // namespace palomix
