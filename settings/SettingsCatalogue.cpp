#include "settings/SettingsCatalogue.h"

#include <utility>

#include "controllogic/SearchFile.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace palomix {

namespace {

constexpr std::string_view kInfoSection = "Info";
constexpr std::string_view kRightDoubleQuote = "\xE2\x80\x9D";  // U+201D

bool IsItemNumber(int n) {
    return n >= 0 && n < kSettingsItemCount;
}
bool IsTemplateNumber(int i) {
    return i >= 0 && i < kCommandTemplateCount;
}

std::string_view TitleKey(Language language) {
    return language == Language::Japanese ? "Title" : "TitleE";
}

std::string Quoted(std::string_view text) {
    std::string row;
    row.reserve(text.size() + 2);
    row += '"';
    row += text;
    row += '"';
    return row;
}

}  // namespace

std::string ItemSectionName(int itemNumber) {
    return "Item" + std::to_string(itemNumber);
}

std::string CommandKeyName(int templateNumber) {
    return "Command" + std::to_string(templateNumber);
}

std::string_view MissingSettingsFolderMessage(Language language) {
    return language == Language::Japanese
               ? "convert_settings\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x81\x8C"
                 "\xE5\xAD\x98\xE5\x9C\xA8\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93."
               : "'convert_settings' Folder does not exist.";
}

std::string ReplaceDescriptionQuotes(std::string_view description) {
    std::string result;
    result.reserve(description.size());
    for (const char c : description) {
        if (c == '"') {
            result += kRightDoubleQuote;
        } else {
            result += c;
        }
    }
    return result;
}

std::string CatalogueEntry::RowText() const {
    std::string row;
    row.reserve(title.size() + description.size() + fileName.size() + 8);
    row += '"';
    row += title;
    row += "\",\"";
    row += description;
    row += "\",\"";
    row += fileName;
    row += '"';
    return row;
}

std::string CommandRow::RowText() const {
    return Quoted(title);
}

std::string ReadCommandTemplate(IniReader& reader, const std::string& settingsFile, int itemNumber,
                                int templateNumber) {
    if (!IsItemNumber(itemNumber) || !IsTemplateNumber(templateNumber)) {
        return {};
    }
    return reader.ReadString(settingsFile, ItemSectionName(itemNumber),
                             CommandKeyName(templateNumber), {});
}

std::vector<CommandTemplate> ReadCommandTemplates(const IniDocument& document, int itemNumber) {
    std::vector<CommandTemplate> templates;
    if (!IsItemNumber(itemNumber)) {
        return templates;
    }
    const std::string section = ItemSectionName(itemNumber);
    for (int number = 0; number < kCommandTemplateCount; ++number) {
        std::optional<IniValue> value = document.FindValue(section, CommandKeyName(number));
        if (value && !value->text.empty()) {
            templates.push_back(CommandTemplate{number, std::move(value->text), value->cut});
        }
    }
    return templates;
}

std::optional<std::vector<std::string>> ReadCommandExtensions(const IniDocument& document,
                                                              int itemNumber) {
    std::optional<std::string> list;
    if (IsItemNumber(itemNumber)) {
        list = document.Find(ItemSectionName(itemNumber), "Extensions");
    }
    if (!list || list->empty()) {
        list = document.Find("Info", "Extensions");
    }
    if (!list) {
        return std::nullopt;
    }
    std::vector<std::string> types;
    std::size_t start = 0;
    while (start <= list->size()) {
        std::size_t end = list->find(',', start);
        if (end == std::string::npos) {
            end = list->size();
        }
        std::string type = list->substr(start, end - start);
        const auto blank = [](char c) { return c == ' ' || c == '\t'; };
        while (!type.empty() && blank(type.back())) {
            type.pop_back();
        }
        std::size_t first = 0;
        while (first < type.size() && (blank(type[first]) || type[first] == '.')) {
            ++first;
        }
        type.erase(0, first);
        for (char& c : type) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        if (!type.empty()) {
            types.push_back(std::move(type));
        }
        start = end + 1;
    }
    if (types.empty()) {
        return std::nullopt;
    }
    return types;
}

std::string ReadCommandTemplate(IniReader& reader, const ChosenCommand& command,
                                int templateNumber) {
    return ReadCommandTemplate(reader, command.settingsFile, command.itemNumber, templateNumber);
}

std::vector<CommandRow> ReadCommandList(IniReader& reader, const std::string& settingsFile,
                                        std::optional<Language> language) {
    std::vector<CommandRow> rows;
    if (!language) {
        return rows;
    }
    // One look at the file for all 256 items: the document is the file as it is now.
    const std::shared_ptr<const IniDocument> document = reader.Document(settingsFile);
    if (!document) {
        return rows;
    }
    const std::string_view key = TitleKey(*language);
    for (int n = 0; n < kSettingsItemCount; ++n) {
        std::string title = document->ReadString(ItemSectionName(n), key, {});
        if (!title.empty()) {
            rows.push_back(CommandRow{std::move(title), n});
        }
    }
    return rows;
}

SettingsCatalogue::SettingsCatalogue(std::string programFolder, std::shared_ptr<IniReader> reader)
    : settingsFolder_(JoinPath(programFolder, kSettingsFolderName)),
      reader_(reader ? std::move(reader) : std::make_shared<IniReader>()),
      SearchFile1(std::make_unique<TSearchFile>()) {
    SearchFile1->SetRecursive(true);
    SearchFile1->SetSearchName("*.ini");
    SearchFile1->SetOnFind([this](TSearchFile& sender, const std::string& name,
                                  const TSearchFileData& data,
                                  bool& cont) { SearchFile1Find(sender, name, data, cont); });
}

SettingsCatalogue::~SettingsCatalogue() = default;

void SettingsCatalogue::SearchFile1Find(TSearchFile& /*Sender*/, const std::string& Name,
                                        const TSearchFileData& Data, bool& /*Continue*/) {
    if (Data.IsDirectory()) {
        return;
    }
    foundPaths_.push_back(Name);
}

CatalogueLoadResult SettingsCatalogue::LoadSettingsCatalogue(Language language) {
    if (!IsFolder(settingsFolder_)) {
        return CatalogueLoadResult{true, std::string(MissingSettingsFolderMessage(language))};
    }

    foundPaths_.clear();
    SearchFile1->SetDirectory(settingsFolder_);
    SearchFile1->Search();
    if (!userSettingsFolder_.empty() && IsFolder(userSettingsFolder_)) {
        SearchFile1->SetDirectory(userSettingsFolder_);
        SearchFile1->Search();
    }

    const bool english = language == Language::English;
    std::vector<CatalogueEntry> entries;
    entries.reserve(foundPaths_.size());
    for (std::string& path : foundPaths_) {
        CatalogueEntry entry;
        // One look at each file for both keys.
        if (const auto document = reader_->Document(path)) {
            entry.title = document->ReadString(kInfoSection, english ? "TitleE" : "Title", {});
            entry.description =
                document->ReadString(kInfoSection, english ? "DescriptionE" : "Description", {});
        }
        if (english) {
            entry.description = ReplaceDescriptionQuotes(entry.description);
        }
        entry.fileName = std::string(FileNameOf(path));
        entry.path = std::move(path);
        entries.push_back(std::move(entry));
    }
    foundPaths_.clear();

    entries_ = std::move(entries);
    selectedSettingsRow_ = entries_.empty() ? -1 : 0;
    MultiComboBox1Change(std::optional<Language>(language));
    return {};
}

void SettingsCatalogue::MultiComboBox1Change(std::optional<Language> currentLanguage) {
    commandRows_.clear();
    selectedCommandRow_ = -1;
    const std::optional<std::string> path = SelectedSettingsPath();
    if (!path) {
        return;
    }
    commandRows_ = ReadCommandList(*reader_, *path, currentLanguage);
    selectedCommandRow_ = commandRows_.empty() ? -1 : 0;
}

void SettingsCatalogue::SelectSettingsRow(int position) {
    const bool inRange = position >= 0 && static_cast<std::size_t>(position) < entries_.size();
    selectedSettingsRow_ = inRange ? position : -1;
}

void SettingsCatalogue::SelectCommandRow(int position) {
    const bool inRange = position >= 0 && static_cast<std::size_t>(position) < commandRows_.size();
    selectedCommandRow_ = inRange ? position : -1;
}

bool SettingsCatalogue::SelectSettingsFile(const std::string& path) {
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        if (entries_[row].path == path) {
            selectedSettingsRow_ = static_cast<int>(row);
            return true;
        }
    }
    return false;
}

bool SettingsCatalogue::SelectCommandItem(int itemNumber) {
    for (std::size_t row = 0; row < commandRows_.size(); ++row) {
        if (commandRows_[row].itemNumber == itemNumber) {
            selectedCommandRow_ = static_cast<int>(row);
            return true;
        }
    }
    return false;
}

std::vector<std::string> SettingsCatalogue::CatalogueRows() const {
    std::vector<std::string> rows;
    rows.reserve(entries_.size());
    for (const CatalogueEntry& entry : entries_) {
        rows.push_back(entry.RowText());
    }
    return rows;
}

std::vector<std::string> SettingsCatalogue::Paths() const {
    std::vector<std::string> paths;
    paths.reserve(entries_.size());
    for (const CatalogueEntry& entry : entries_) {
        paths.push_back(entry.path);
    }
    return paths;
}

std::vector<std::string> SettingsCatalogue::CommandRowTexts() const {
    std::vector<std::string> rows;
    rows.reserve(commandRows_.size());
    for (const CommandRow& row : commandRows_) {
        rows.push_back(row.RowText());
    }
    return rows;
}

std::optional<std::string> SettingsCatalogue::SelectedSettingsPath() const {
    if (selectedSettingsRow_ < 0) {
        return std::nullopt;
    }
    return entries_[static_cast<std::size_t>(selectedSettingsRow_)].path;
}

std::optional<ChosenCommand> SettingsCatalogue::SelectedCommand() const {
    std::optional<std::string> path = SelectedSettingsPath();
    if (!path || selectedCommandRow_ < 0) {
        return std::nullopt;
    }
    return ChosenCommand{std::move(*path),
                         commandRows_[static_cast<std::size_t>(selectedCommandRow_)].itemNumber};
}

std::string SettingsCatalogue::ReadCommandTemplate(int templateNumber) {
    const std::optional<ChosenCommand> command = SelectedCommand();
    if (!command) {
        return {};
    }
    return palomix::ReadCommandTemplate(*reader_, *command, templateNumber);
}

void SettingsCatalogue::S1Click(const DefaultProgramOpener& open) const {
    const std::optional<std::string> path = SelectedSettingsPath();
    if (path && open) {
        open(*path);
    }
}

}  // namespace palomix
