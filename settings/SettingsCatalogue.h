// The conversion settings files and the two lists built from them: the catalogue of the
// files found under convert_settings (the rows of the settings-file selector MultiComboBox1
// and the paths of the hidden list ListBox1) and the command list of the selected file (the
// rows of the command selector MultiComboBox2). Selections are held by position, -1 for none,
// exactly as the two selectors hold them.
//
// Every command row remembers the number of the item it was read from. A file whose items
// have gaps (Item0, Item2, no Item1) therefore runs the command whose title was chosen:
// readers take the section of that number, never the row position.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ExecutablePath.h"
#include "platform/OpenWithDefault.h"
#include "settings/CatalogueTypes.h"
#include "settings/IniFile.h"
#include "settings/Language.h"

namespace palomix {

class TSearchFile;
class TSearchFileData;

// Items are Item0..Item255, command lines Command0..Command255; nothing beyond is read.
inline constexpr int kSettingsItemCount = 256;
inline constexpr int kCommandTemplateCount = 256;

inline constexpr std::string_view kSettingsFolderName = "convert_settings";

// "Item" + n and "Command" + i, decimal without leading zeros.
std::string ItemSectionName(int itemNumber);
std::string CommandKeyName(int templateNumber);

// The message shown when convert_settings is not there.
std::string_view MissingSettingsFolderMessage(Language language);

// An English description with every ASCII double quote replaced by U+201D "”".
std::string ReplaceDescriptionQuotes(std::string_view description);

// Command<templateNumber> of section Item<itemNumber>, read from the file now (an edit of the
// file counts from the next read on). Empty when the file, section or key is missing or the
// numbers are out of range. The run itself reads a command's lines all at once from one parsed
// file (ReadCommandTemplates) each time it goes on after a wait.
std::string ReadCommandTemplate(IniReader& reader, const std::string& settingsFile, int itemNumber,
                                int templateNumber);
std::string ReadCommandTemplate(IniReader& reader, const ChosenCommand& command,
                                int templateNumber);

// One command line of a command as the settings file holds it, before it is prepared.
struct CommandTemplate {
    int number = 0;    // n of Command<n>
    std::string text;  // never empty
    bool cut = false;  // the file holds more than the reading rules keep: text is cut

    friend bool operator==(const CommandTemplate&, const CommandTemplate&) = default;
};

// The command lines of Item<itemNumber> in a parsed settings file that are not empty, in
// number order (Command0 to Command255). Empty for an item number out of range.
std::vector<CommandTemplate> ReadCommandTemplates(const IniDocument& document, int itemNumber);

// The file types a command takes, from its Extensions= key (a list separated by commas, such
// as "mp3,flac,.WAV": blanks and a leading dot dropped, letters made lower case), in section
// Item<itemNumber> or else in Info. nullopt when neither has the key (or it lists nothing):
// the command takes any file.
std::optional<std::vector<std::string>> ReadCommandExtensions(const IniDocument& document,
                                                              int itemNumber);

// The command list of one settings file: items 0..255 in ascending order whose title in the
// language is not empty. With no current language every title counts as empty.
std::vector<CommandRow> ReadCommandList(IniReader& reader, const std::string& settingsFile,
                                        std::optional<Language> language);

class SettingsCatalogue {
public:
    // `programFolder` is the folder that holds convert_settings. The reader may be shared
    // with whoever reads the command lines later; a new one is made when none is given.
    explicit SettingsCatalogue(std::string programFolder = ExecutableFolder(),
                               std::shared_ptr<IniReader> reader = nullptr);
    ~SettingsCatalogue();
    SettingsCatalogue(const SettingsCatalogue&) = delete;
    SettingsCatalogue& operator=(const SettingsCatalogue&) = delete;

    // programFolder joined with convert_settings.
    const std::string& SettingsFolder() const { return settingsFolder_; }

    // A second folder of settings files, the user's own (an installed copy keeps it in the
    // user's configuration folder); empty for none. Its files are listed after the program's
    // from the next load on. It need not exist.
    void SetUserSettingsFolder(std::string folder) { userSettingsFolder_ = std::move(folder); }
    const std::string& UserSettingsFolder() const { return userSettingsFolder_; }

    // Rebuilds the catalogue with the texts of the language, selects its first row and
    // refills the command list in that language. The program's folder comes first, then the
    // user's; in each, files of the folder itself first, then those of its subfolders,
    // breadth-first. When the program's folder is missing, every list and selection keeps
    // what it held and the result carries the message; a missing user folder adds nothing.
    CatalogueLoadResult LoadSettingsCatalogue(Language language);

    // Refills the command list for the selected settings file in the current language and
    // selects its first row (none when empty). No selected file: the list stays empty.
    void MultiComboBox1Change(std::optional<Language> currentLanguage);
    void MultiComboBox1Change(const LanguageMarks& marks) { MultiComboBox1Change(marks.Current()); }

    // Selections set by position, as a restore does: out of range selects nothing. Setting a
    // selection does not refill the command list.
    void SelectSettingsRow(int position);
    void SelectCommandRow(int position);
    // Selections set by what they name: the row of the settings file with this path, the row
    // of the command read from Item<itemNumber>. False (the selection unchanged) when the
    // list has no such row.
    bool SelectSettingsFile(const std::string& path);
    bool SelectCommandItem(int itemNumber);

    const std::vector<CatalogueEntry>& Entries() const { return entries_; }
    // The rows of MultiComboBox1 and the lines of ListBox1, in catalogue order.
    std::vector<std::string> CatalogueRows() const;
    std::vector<std::string> Paths() const;
    int SelectedSettingsRow() const { return selectedSettingsRow_; }

    const std::vector<CommandRow>& CommandRows() const { return commandRows_; }
    // The rows of MultiComboBox2.
    std::vector<std::string> CommandRowTexts() const;
    int SelectedCommandRow() const { return selectedCommandRow_; }

    // The path of the selected settings file; nullopt when none is selected.
    std::optional<std::string> SelectedSettingsPath() const;
    // The selected file and the item of the selected command row; nullopt unless both are
    // selected.
    std::optional<ChosenCommand> SelectedCommand() const;

    // Command<templateNumber> of the selected command, read now; empty with no selection.
    std::string ReadCommandTemplate(int templateNumber);

    // Opens the selected settings file with the system's default program through `open`.
    // With no selection nothing happens.
    void S1Click(const DefaultProgramOpener& open) const;

    IniReader& Reader() { return *reader_; }
    const std::shared_ptr<IniReader>& SharedReader() const { return reader_; }

private:
    // OnFind of SearchFile1: a found file's path becomes the next line of ListBox1. Folders
    // whose names happen to match "*.ini" are passed over: only files are settings files.
    void SearchFile1Find(TSearchFile& Sender, const std::string& Name, const TSearchFileData& Data,
                         bool& Continue);

    std::string settingsFolder_;
    std::string userSettingsFolder_;
    std::shared_ptr<IniReader> reader_;
    std::unique_ptr<TSearchFile> SearchFile1;
    std::vector<std::string> foundPaths_;  // filled by SearchFile1Find during a load
    std::vector<CatalogueEntry> entries_;
    int selectedSettingsRow_ = -1;
    std::vector<CommandRow> commandRows_;
    int selectedCommandRow_ = -1;
};

}  // namespace palomix
