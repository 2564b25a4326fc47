// The application state file: Palomix.ini in the program folder, section SET. It keeps the
// window position, the language check marks, the two selections (by position, -1 for none)
// and the output folder from one run to the next. Read once at the first activation of the
// window, key by key with the window's current values as defaults; written at every close.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace palomix {

inline constexpr std::string_view kStateFileName = "Palomix.ini";
inline constexpr std::string_view kStateSection = "SET";

inline constexpr std::string_view kStateKeyLeft = "M_LEFT";
inline constexpr std::string_view kStateKeyTop = "M_TOP";
inline constexpr std::string_view kStateKeyJapanese = "B1";
inline constexpr std::string_view kStateKeyEnglish = "B2";
inline constexpr std::string_view kStateKeySettingsRow = "MC1";
inline constexpr std::string_view kStateKeyCommandRow = "MC2";
inline constexpr std::string_view kStateKeyOutputFolder = "BE1";

// The path of the state file in a program folder.
std::string StateFilePath(const std::string& programFolder);

// What the window saves when it closes.
struct ApplicationState {
    std::int32_t left = 20;
    std::int32_t top = 20;
    bool japanese = true;  // B1 carries its check mark
    bool english = false;  // B2 carries its check mark
    std::int32_t settingsRow = -1;
    std::int32_t commandRow = -1;
    std::string outputFolder;
};

// The seven keys with their texts, in the order they are written: M_LEFT, M_TOP, B1, B2, MC1,
// MC2, BE1. Integers in decimal with a minus sign when negative, flags as "1" or "0".
std::vector<std::pair<std::string, std::string>> StateKeyValues(const ApplicationState& state);

// Writes all seven keys into section SET of the file at once (other sections and keys stay);
// the file is replaced whole or not at all. Throws IniWriteError naming the file.
void SaveApplicationState(const std::string& path, const ApplicationState& state);

}  // namespace palomix
