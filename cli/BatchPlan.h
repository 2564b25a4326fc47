// What palomix-batch is to do once the command line has been checked against the program
// folder: the chosen command, where the output goes, and which drives count as attached.
#pragma once

#include <string>
#include <vector>

#include "engine/EngineTypes.h"

namespace palomix {

struct BatchPlan {
    ChosenCommand command;                  // settings file and item number of the chosen row
    std::string outputFolder;               // absolute
    std::string appFolder;                  // the folder of palomix-batch itself
    std::vector<std::string> driveFolders;  // --drive folders, absolute; empty: system drives
    Language language = Language::Japanese;
    ExistingOutputs existing = ExistingOutputs::Overwrite;
    int jobs = 1;                // conversions at once; 0: one per core
    bool progressLines = false;  // machine-readable progress lines on standard output
    bool liveProgress = false;   // standard error is a terminal: one live line redrawn
    bool keepDates = false;      // outputs get their sources' modification times
    bool keepTree = false;       // files of a folder given keep their subfolders
    std::string logFile;         // --log: the run's log goes there too (absolute); empty: none
};

}  // namespace palomix
