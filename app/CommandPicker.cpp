#include "app/CommandPicker.h"

#include <QListWidget>
#include <vector>

#include "app/Captions.h"
#include "app/QtText.h"
#include "app/RunReport.h"
#include "app/WindowLayout.h"
#include "widgets/MCCBox.h"

namespace palomix {

CommandPicker::CommandPicker(Engine& engine, WindowControls& controls)
    : engine_(engine), controls_(controls) {
    controls_.MultiComboBox1->OnChange = [this](TMultiColComboBox& box) {
        SettingsRowPicked(box.ItemIndex());
    };
    controls_.MultiComboBox2->OnChange = [this](TMultiColComboBox& box) {
        CommandRowPicked(box.ItemIndex());
    };
    engine_.AddObserver(this);
}

CommandPicker::~CommandPicker() {
    engine_.RemoveObserver(this);
    controls_.MultiComboBox1->OnChange = nullptr;
    controls_.MultiComboBox2->OnChange = nullptr;
}

CatalogueLoadResult CommandPicker::Reload(Language language) {
    const std::optional<std::string> settingsFile = engine_.SelectedSettingsPath();
    const std::optional<ChosenCommand> command = engine_.SelectedCommand();
    CatalogueLoadResult load = engine_.LoadCatalogue(language);
    if (load.folderMissing) {
        return load;
    }
    // The same file, the same item, when the other language has them.
    if (settingsFile && engine_.SelectSettingsFile(*settingsFile)) {
        engine_.RefreshCommandList(language);
        if (command) {
            engine_.SelectCommandItem(command->itemNumber);
        }
    }
    ShowCatalogue();
    ShowCommandList();
    return load;
}

void CommandPicker::SettingsFileChanged() {
    engine_.RefreshCommandList(MarksOf(controls_).Current());
    ShowCommandList();
    if (OnChoiceChanged) {
        OnChoiceChanged();
    }
}

void CommandPicker::Restore(std::optional<int> settingsRow, std::optional<int> commandRow) {
    engine_.SelectSettingsRow(settingsRow.value_or(engine_.SelectedSettingsRow()));
    controls_.MultiComboBox1->SetItemIndex(engine_.SelectedSettingsRow());
    SettingsFileChanged();
    engine_.SelectCommandRow(commandRow.value_or(engine_.SelectedCommandRow()));
    controls_.MultiComboBox2->SetItemIndex(engine_.SelectedCommandRow());
    ShowSelectorToolTips();
}

bool CommandPicker::ChooseKept(const std::string& settingsFile, int commandItem) {
    if (!engine_.SelectSettingsFile(settingsFile)) {
        return false;
    }
    controls_.MultiComboBox1->SetItemIndex(engine_.SelectedSettingsRow());
    SettingsFileChanged();
    const bool chosen = engine_.SelectCommandItem(commandItem);
    controls_.MultiComboBox2->SetItemIndex(engine_.SelectedCommandRow());
    ShowSelectorToolTips();
    return chosen;
}

void CommandPicker::SettingsRowPicked(int row) {
    engine_.SelectSettingsRow(row);
    SettingsFileChanged();
    // The file's first command is chosen with it: a command shown as chosen is chosen.
    if (engine_.SelectedCommand() && OnCommandChosen) {
        OnCommandChosen();
    }
}

void CommandPicker::CommandRowPicked(int row) {
    engine_.SelectCommandRow(row);
    ShowSelectorToolTips();
    if (OnChoiceChanged) {
        OnChoiceChanged();
    }
    if (OnCommandChosen) {
        OnCommandChosen();
    }
}

void CommandPicker::ShowCatalogue() {
    TMultiColComboBox& box = *controls_.MultiComboBox1;
    controls_.ListBox1->clear();
    box.ClearItems();
    const std::vector<CatalogueEntry> entries = engine_.SettingsFiles();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        const CatalogueEntry& entry = entries[row];
        controls_.ListBox1->addItem(Q(entry.path));
        box.AddItem(entry.RowText());
        // The open list cuts long titles and descriptions: the whole of them in a tool tip.
        box.setItemData(static_cast<int>(row),
                        Q(entry.title + "\n" + entry.description + "\n" + entry.path),
                        Qt::ToolTipRole);
    }
    box.SetItemIndex(engine_.SelectedSettingsRow());
    ShowSelectorToolTips();
}

void CommandPicker::ShowCommandList() {
    controls_.MultiComboBox2->ClearItems();
    for (const CommandRow& row : engine_.CommandRows()) {
        controls_.MultiComboBox2->AddItem(row.RowText());
    }
    controls_.MultiComboBox2->SetItemIndex(engine_.SelectedCommandRow());
    ShowCommandToolTips();
}

void CommandPicker::ShowCommandToolTips() {
    const std::vector<CommandRow> rows = engine_.CommandRows();
    const std::optional<std::string> settingsFile = engine_.SelectedSettingsPath();
    const RunTexts& texts = RunTextsFor(TextLanguageOf(controls_));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        std::string tip = rows[row].title;
        if (settingsFile) {
            const ChosenCommand command{*settingsFile, rows[row].itemNumber};
            for (const ConverterNeed& need : engine_.CommandNeeds(command).missing) {
                tip += "\n" + ConverterNeedWords(need, texts);
            }
        }
        controls_.MultiComboBox2->setItemData(static_cast<int>(row), Q(tip), Qt::ToolTipRole);
    }
    ShowSelectorToolTips();
}

void CommandPicker::ShowSelectorToolTips() {
    for (TMultiColComboBox* box : {controls_.MultiComboBox1, controls_.MultiComboBox2}) {
        const int row = box->ItemIndex();
        box->setToolTip(row >= 0 ? box->itemData(row, Qt::ToolTipRole).toString() : QString());
    }
}

}  // namespace palomix
