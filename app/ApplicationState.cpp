#include "app/ApplicationState.h"

#include "platform/PathRules.h"
#include "settings/IniFile.h"

namespace palomix {

std::string StateFilePath(const std::string& programFolder) {
    return JoinPath(programFolder, kStateFileName);
}

std::vector<std::pair<std::string, std::string>> StateKeyValues(const ApplicationState& state) {
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    return {
        {std::string(kStateKeyLeft), std::to_string(state.left)},
        {std::string(kStateKeyTop), std::to_string(state.top)},
        {std::string(kStateKeyJapanese), flag(state.japanese)},
        {std::string(kStateKeyEnglish), flag(state.english)},
        {std::string(kStateKeySettingsRow), std::to_string(state.settingsRow)},
        {std::string(kStateKeyCommandRow), std::to_string(state.commandRow)},
        {std::string(kStateKeyOutputFolder), state.outputFolder},
    };
}

void SaveApplicationState(const std::string& path, const ApplicationState& state) {
    WriteIniStrings(path, kStateSection, StateKeyValues(state));
}

}  // namespace palomix
