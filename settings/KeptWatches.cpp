#include "settings/KeptWatches.h"

#include <string_view>
#include <utility>

#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr std::string_view kSection = "WATCH";

std::string Key(std::string_view name, std::size_t number) {
    return std::string(name) + std::to_string(number);
}

// A name the file keeps whole and reads back as it is.
bool Keepable(const std::string& text) {
    return !text.empty() && text.size() <= kMaxIniValueBytes && IsValidUtf8(text) &&
           text.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

std::vector<KeptWatch> ReadKeptWatches(IniReader& reader, const std::string& stateFile) {
    std::vector<KeptWatch> watches;
    const std::shared_ptr<const IniDocument> document = reader.TryDocument(stateFile);
    if (!document) {
        return watches;
    }
    const auto whole = [&document](const std::string& key) -> std::optional<std::string> {
        std::optional<IniValue> value = document->FindValue(kSection, key);
        if (!value || value->cut || value->text.empty()) {
            return std::nullopt;
        }
        return std::move(value->text);
    };
    const auto number = [&whole](const std::string& key) -> std::optional<std::int32_t> {
        const std::optional<std::string> text = whole(key);
        return text ? ParseIniInteger(*text) : std::nullopt;
    };
    const std::int32_t count = std::max(0, number("COUNT").value_or(0));
    for (std::size_t index = 1; index <= static_cast<std::size_t>(count); ++index) {
        const std::optional<std::string> folder = whole(Key("FOLDER", index));
        const std::optional<std::string> settings = whole(Key("SETTINGS", index));
        const std::optional<std::int32_t> item = number(Key("ITEM", index));
        const std::optional<std::string> output = whole(Key("OUTPUT", index));
        if (!folder || !settings || !item || *item < 0 || !output) {
            continue;
        }
        watches.push_back(KeptWatch{*folder, ChosenCommand{*settings, *item}, *output,
                                    number(Key("SUBFOLDERS", index)).value_or(0) != 0,
                                    number(Key("PAUSED", index)).value_or(0) != 0});
    }
    return watches;
}

std::vector<std::string> SaveKeptWatches(const std::string& stateFile,
                                         const std::vector<KeptWatch>& watches) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::vector<std::string> leftOut;
    std::size_t number = 0;
    for (const KeptWatch& watch : watches) {
        if (!Keepable(watch.folder) || !Keepable(watch.command.settingsFile) ||
            !Keepable(watch.outputFolder)) {
            leftOut.push_back(watch.folder);
            continue;
        }
        ++number;
        keys.emplace_back(Key("FOLDER", number), watch.folder);
        keys.emplace_back(Key("SETTINGS", number), watch.command.settingsFile);
        keys.emplace_back(Key("ITEM", number), std::to_string(watch.command.itemNumber));
        keys.emplace_back(Key("OUTPUT", number), watch.outputFolder);
        keys.emplace_back(Key("SUBFOLDERS", number), watch.subfolders ? "1" : "0");
        keys.emplace_back(Key("PAUSED", number), watch.paused ? "1" : "0");
    }
    keys.insert(keys.begin(), {"COUNT", std::to_string(number)});
    WriteIniStrings(stateFile, kSection, keys);
    return leftOut;
}

}  // namespace palomix
