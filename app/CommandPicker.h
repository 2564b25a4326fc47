// The two selectors of the window: MultiComboBox1 lists the settings files (title,
// description, file name; ListBox1 holds their paths), MultiComboBox2 the commands of the file
// chosen. The picker fills them from the core's catalogue, keeps the core's two selections and
// theirs the same, and gives every row a tool tip: a file's whole title, description and
// path, a command's title and what it needs that cores/ffmpeg lacks (which the core may tell
// later: ConverterChecked).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/Engine.h"
#include "settings/CatalogueTypes.h"

namespace palomix {

struct WindowControls;

class CommandPicker final : private EngineObserver {
public:
    CommandPicker(Engine& engine, WindowControls& controls);
    ~CommandPicker() override;
    CommandPicker(const CommandPicker&) = delete;
    CommandPicker& operator=(const CommandPicker&) = delete;

    // The settings file or the command chosen changed.
    std::function<void()> OnChoiceChanged;
    // The user chose a command, or a settings file whose first command is chosen with it:
    // jobs that wait for one may start.
    std::function<void()> OnCommandChosen;

    // Loads the catalogue in the language and fills both selectors; the file and command chosen
    // stay chosen when the language has them. A missing folder changes nothing (the result
    // says so).
    CatalogueLoadResult Reload(Language language);
    // The command list refilled for the settings file chosen now (MultiComboBox1Change), in
    // the language of the check marks.
    void SettingsFileChanged();
    // The rows a state file kept (nullopt: the ones chosen now).
    void Restore(std::optional<int> settingsRow, std::optional<int> commandRow);
    // The settings file and command a kept queue names; true when that command is chosen.
    bool ChooseKept(const std::string& settingsFile, int commandItem);

private:
    void ConverterChecked() override { ShowCommandToolTips(); }

    // The user picked a row of either selector.
    void SettingsRowPicked(int row);
    void CommandRowPicked(int row);
    void ShowCatalogue();
    void ShowCommandList();
    void ShowCommandToolTips();
    // Each selector's own tool tip: that of its chosen row.
    void ShowSelectorToolTips();

    Engine& engine_;
    WindowControls& controls_;
};

}  // namespace palomix
