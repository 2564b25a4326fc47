#include "settings/StateFile.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/PathRules.h"

namespace palomix {

namespace {

constexpr std::string_view kStateSection = "SET";
constexpr std::string_view kKeyLeft = "M_LEFT";
constexpr std::string_view kKeyTop = "M_TOP";
constexpr std::string_view kKeyJapanese = "B1";
constexpr std::string_view kKeyEnglish = "B2";
constexpr std::string_view kKeySettingsRow = "MC1";
constexpr std::string_view kKeyCommandRow = "MC2";
constexpr std::string_view kKeyOutputFolder = "BE1";
constexpr std::string_view kKeyJobs = "JOBS";
constexpr std::string_view kKeyExisting = "EXISTING";
constexpr std::string_view kKeyKeepDates = "KEEP_DATES";
constexpr std::string_view kKeyKeepTree = "KEEP_TREE";
constexpr std::string_view kKeyWhenDone = "WHEN_DONE";

// The words of the choices, in the order of their enumerations.
constexpr std::array<std::string_view, 3> kExistingWords{"overwrite", "keep", "skip"};
constexpr std::array<std::string_view, 5> kWhenDoneWords{"nothing", "sound", "quit", "suspend",
                                                         "shutdown"};

template <typename Choice, std::size_t N>
std::optional<Choice> ChoiceNamed(const std::optional<std::string>& text,
                                  const std::array<std::string_view, N>& words) {
    if (!text) {
        return std::nullopt;
    }
    for (std::size_t index = 0; index < N; ++index) {
        if (std::equal(
                text->begin(), text->end(), words[index].begin(), words[index].end(),
                [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; })) {
            return static_cast<Choice>(index);
        }
    }
    return std::nullopt;
}

}  // namespace

std::string StateFilePath(const std::string& programFolder) {
    return JoinPath(programFolder, kStateFileName);
}

StoredState ReadApplicationState(IniReader& reader, const std::string& path) {
    StoredState state;
    const std::shared_ptr<const IniDocument> document = reader.Document(path);
    if (!document) {
        return state;
    }
    // A value that was cut is not the value that was saved: as good as missing.
    const auto whole = [&document](std::string_view key) -> std::optional<std::string> {
        std::optional<IniValue> value = document->FindValue(kStateSection, key);
        if (!value || value->cut) {
            return std::nullopt;
        }
        return std::move(value->text);
    };
    const auto integer = [&whole](std::string_view key) -> std::optional<std::int32_t> {
        const std::optional<std::string> text = whole(key);
        return text ? ParseIniInteger(*text) : std::nullopt;
    };
    const auto flag = [&integer](std::string_view key) -> std::optional<bool> {
        const std::optional<std::int32_t> value = integer(key);
        return value ? std::optional<bool>(*value != 0) : std::nullopt;
    };
    state.left = integer(kKeyLeft);
    state.top = integer(kKeyTop);
    state.japanese = flag(kKeyJapanese);
    state.english = flag(kKeyEnglish);
    state.settingsRow = integer(kKeySettingsRow);
    state.commandRow = integer(kKeyCommandRow);
    state.outputFolder = whole(kKeyOutputFolder);

    RunChoices& run = state.run;
    if (const std::optional<std::int32_t> jobs = integer(kKeyJobs);
        jobs && *jobs >= 0 && *jobs <= kMostSimultaneousJobs) {
        run.simultaneousJobs = *jobs;
    }
    run.existingOutputs = ChoiceNamed<ExistingOutputChoice>(whole(kKeyExisting), kExistingWords)
                              .value_or(run.existingOutputs);
    run.keepDates = flag(kKeyKeepDates).value_or(run.keepDates);
    run.keepTree = flag(kKeyKeepTree).value_or(run.keepTree);
    run.whenQueueDone = ChoiceNamed<QueueDoneAction>(whole(kKeyWhenDone), kWhenDoneWords)
                            .value_or(run.whenQueueDone);
    return state;
}

std::optional<Language> StoredLanguage(const StoredState& state) {
    if (state.english.value_or(false)) {
        return Language::English;
    }
    if (state.japanese.value_or(true)) {
        return Language::Japanese;
    }
    return std::nullopt;
}

std::optional<Language> LanguageAtStart(const StoredState& state, std::string_view systemLocale) {
    if (state.japanese || state.english) {
        return StoredLanguage(state);
    }
    return DefaultLanguage(systemLocale);
}

std::vector<std::pair<std::string, std::string>> StateKeyValues(const ApplicationState& state) {
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    return {
        {std::string(kKeyLeft), std::to_string(state.left)},
        {std::string(kKeyTop), std::to_string(state.top)},
        {std::string(kKeyJapanese), flag(state.japanese)},
        {std::string(kKeyEnglish), flag(state.english)},
        {std::string(kKeySettingsRow), std::to_string(state.settingsRow)},
        {std::string(kKeyCommandRow), std::to_string(state.commandRow)},
        {std::string(kKeyOutputFolder), state.outputFolder},
        {std::string(kKeyJobs), std::to_string(state.run.simultaneousJobs)},
        {std::string(kKeyExisting),
         std::string(kExistingWords.at(static_cast<std::size_t>(state.run.existingOutputs)))},
        {std::string(kKeyKeepDates), flag(state.run.keepDates)},
        {std::string(kKeyKeepTree), flag(state.run.keepTree)},
        {std::string(kKeyWhenDone),
         std::string(kWhenDoneWords.at(static_cast<std::size_t>(state.run.whenQueueDone)))},
    };
}

StateSaveReport SaveApplicationState(const std::string& path, const ApplicationState& state) {
    const std::vector<std::string> cutKeys =
        WriteIniStrings(path, kStateSection, StateKeyValues(state));
    StateSaveReport report;
    for (const std::string& key : cutKeys) {
        report.outputFolderTooLong = report.outputFolderTooLong || key == kKeyOutputFolder;
    }
    return report;
}

}  // namespace palomix
