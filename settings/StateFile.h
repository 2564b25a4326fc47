// The application state file: Palomix.ini in the program folder, section SET. It keeps the
// window position, the language check marks, the two selections (by position, -1 for none),
// the output folder and the run choices of the Settings menu from one run to the next. The window
// reads it once at its first activation and writes it at every close; palomix-batch reads the
// language from it. This is the one place that knows the file's name, section and keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/IniFile.h"
#include "settings/Language.h"

namespace palomix {

inline constexpr std::string_view kStateFileName = "Palomix.ini";

// The path of the state file in a program folder.
std::string StateFilePath(const std::string& programFolder);

// What happens to an output file that exists from before a run.
enum class ExistingOutputChoice { Overwrite, KeepBoth, Skip };
// What the window does when its queue has run empty.
enum class QueueDoneAction { Nothing, Sound, Quit, Suspend, ShutDown };

// The choices of the Settings menu that shape a run. Each has its own key, written after the
// seven keys of the window; older versions pass over them. A missing or unreadable value
// gives the default below.
struct RunChoices {
    // Conversions at once: 1 to kMostSimultaneousJobs; 0 for one per processor core.
    std::int32_t simultaneousJobs = 1;
    ExistingOutputChoice existingOutputs = ExistingOutputChoice::Overwrite;
    bool keepDates = false;  // outputs get their sources' modification times
    bool keepTree = false;   // files of a dropped folder keep their subfolders in the output
    QueueDoneAction whenQueueDone = QueueDoneAction::Nothing;

    friend bool operator==(const RunChoices&, const RunChoices&) = default;
};
inline constexpr std::int32_t kMostSimultaneousJobs = 4;

// What the window saves when it closes.
struct ApplicationState {
    std::int32_t left = 20;
    std::int32_t top = 20;
    bool japanese = true;  // B1 carries its check mark
    bool english = false;  // B2 carries its check mark
    std::int32_t settingsRow = -1;
    std::int32_t commandRow = -1;
    std::string outputFolder;
    RunChoices run;
};

// What the file holds, key by key: nullopt where a key is missing or not a valid value, so the
// reader applies its own default at the moment the key's turn comes. Integers and flags follow
// ParseIniInteger (a flag is on when its integer is not 0). A value longer than the reading
// rules keep (kMaxIniValueBytes) counts as missing: a cut output folder is another folder.
struct StoredState {
    std::optional<std::int32_t> left;
    std::optional<std::int32_t> top;
    std::optional<bool> japanese;
    std::optional<bool> english;
    std::optional<std::int32_t> settingsRow;
    std::optional<std::int32_t> commandRow;
    std::optional<std::string> outputFolder;
    RunChoices run;  // each choice its default where its key is missing or unreadable
};

// Reads the keys of section SET; a missing or unreadable file gives an empty StoredState.
StoredState ReadApplicationState(IniReader& reader, const std::string& path);

// The language the window comes up in after a restore: the Japanese mark is applied first,
// then the English one, so an English mark that is on wins; with neither, none.
std::optional<Language> StoredLanguage(const StoredState& state);

// The language a start comes up in, the window's and palomix-batch's alike: the user's choice
// kept in the file (StoredLanguage) when the file keeps either mark, else the language of the
// system's locale (DefaultLanguage). nullopt: the user chose neither.
std::optional<Language> LanguageAtStart(const StoredState& state, std::string_view systemLocale);

// The keys with their texts, in the order they are written: the window's seven, M_LEFT, M_TOP,
// B1, B2, MC1, MC2, BE1, then the run choices, JOBS (0 to 4), EXISTING (overwrite, keep or
// skip), KEEP_DATES, KEEP_TREE and WHEN_DONE (nothing, sound, quit, suspend or shutdown).
// Integers in decimal with a minus sign when negative, flags as "1" or "0"; words are read in
// any letter case.
std::vector<std::pair<std::string, std::string>> StateKeyValues(const ApplicationState& state);

// What a save could not keep for the next start.
struct StateSaveReport {
    // The output folder is too long to be remembered: it is longer than a value can be read
    // back (kMaxIniValueBytes bytes of UTF-8, as the file holds new lines). It is written as
    // it is, but the next start reads it as missing and comes up with the default folder.
    // The window tells the user.
    bool outputFolderTooLong = false;

    friend bool operator==(const StateSaveReport&, const StateSaveReport&) = default;
};

// Writes all the keys into section SET of the file at once (other sections and keys stay,
// other lines keep their bytes); the file is replaced whole or not at all. Throws
// IniWriteError naming the file; returns what was written but will not be restored.
StateSaveReport SaveApplicationState(const std::string& path, const ApplicationState& state);

}  // namespace palomix
