#include "app/WatchDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/QtText.h"
#include "platform/FileSystem.h"
#include "widgets/FolderBrowseEdit.h"

namespace palomix {

namespace {

TFolderBrowseEdit* FolderField(const std::string& path, QWidget* parent) {
    auto* field = new TFolderBrowseEdit(parent);
    field->SetReadOnly(false);
    field->SetStartWithLast(true);
    field->SetPath(path);
    field->setMinimumWidth(420);
    return field;
}

}  // namespace

TWatchDialog::TWatchDialog(Engine& engine, Language language, const WatchSettings& initial,
                           QWidget* parent)
    : QDialog(parent),
      engine_(engine),
      language_(language),
      texts_(WatchTextsFor(language)),
      folder_(FolderField(initial.folder, this)),
      settingsFiles_(new QComboBox(this)),
      commands_(new QComboBox(this)),
      output_(FolderField(initial.outputFolder, this)),
      subfolders_(new QCheckBox(Q(texts_.subfolders), this)),
      buttons_(new QDialogButtonBox(this)),
      watch_(buttons_->addButton(Q(texts_.watchButton), QDialogButtonBox::AcceptRole)) {
    setWindowTitle(Q(texts_.dialogTitle));
    subfolders_->setChecked(initial.subfolders);
    int chosen = -1;
    for (const CatalogueEntry& entry : engine_.SettingsFiles()) {
        if (entry.path == initial.command.settingsFile) {
            chosen = static_cast<int>(settingsPaths_.size());
        }
        settingsPaths_.push_back(entry.path);
        settingsFiles_->addItem(Q(entry.title.empty() ? entry.fileName : entry.title));
        settingsFiles_->setItemData(settingsFiles_->count() - 1, Q(entry.description),
                                    Qt::ToolTipRole);
    }
    settingsFiles_->setCurrentIndex(std::max(chosen, settingsPaths_.empty() ? -1 : 0));
    FillCommands(chosen >= 0 ? initial.command.itemNumber : -1);
    connect(settingsFiles_, &QComboBox::currentIndexChanged, this, [this] { FillCommands(-1); });

    auto* form = new QFormLayout;
    form->addRow(Q(texts_.folderLabel), folder_);
    form->addRow(QString(), subfolders_);
    form->addRow(Q(texts_.settingsLabel), settingsFiles_);
    form->addRow(Q(texts_.commandLabel), commands_);
    form->addRow(Q(texts_.outputLabel), output_);
    buttons_->addButton(Q(texts_.cancelButton), QDialogButtonBox::RejectRole);
    connect(buttons_, &QDialogButtonBox::accepted, this, &TWatchDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &TWatchDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons_);
}

void TWatchDialog::FillCommands(int item) {
    commands_->clear();
    const int file = settingsFiles_->currentIndex();
    if (file < 0 || file >= static_cast<int>(settingsPaths_.size())) {
        return;
    }
    int chosen = 0;
    for (const CommandRow& row :
         engine_.CommandsOf(settingsPaths_[static_cast<std::size_t>(file)], language_)) {
        if (row.itemNumber == item) {
            chosen = commands_->count();
        }
        commands_->addItem(Q(row.title), row.itemNumber);
    }
    commands_->setCurrentIndex(commands_->count() > 0 ? chosen : -1);
}

std::optional<WatchSettings> TWatchDialog::Settings(std::string& problem) const {
    WatchSettings settings;
    settings.folder = folder_->Path();
    settings.outputFolder = output_->Path();
    settings.subfolders = subfolders_->isChecked();
    const int file = settingsFiles_->currentIndex();
    if (settings.folder.empty()) {
        problem = texts_.noFolder;
        return std::nullopt;
    }
    if (!IsFolder(settings.folder)) {
        problem = FillIn(texts_.folderUnreadableFormat, "{path}", settings.folder);
        return std::nullopt;
    }
    if (file < 0 || file >= static_cast<int>(settingsPaths_.size()) ||
        commands_->currentIndex() < 0) {
        problem = texts_.noCommand;
        return std::nullopt;
    }
    settings.command = ChosenCommand{settingsPaths_[static_cast<std::size_t>(file)],
                                     commands_->currentData().toInt()};
    for (const WatchView& view : engine_.Watches()) {
        const WatchSettings& other = view.settings;
        if (other.folder == IncomingPath(settings.folder) && other.command == settings.command &&
            other.outputFolder == IncomingPath(settings.outputFolder)) {
            problem = texts_.watchedAlready;
            return std::nullopt;
        }
    }
    return settings;
}

void TWatchDialog::accept() {
    std::string problem;
    if (!Settings(problem)) {
        if (OnProblem) {
            OnProblem(problem);
        }
        return;
    }
    QDialog::accept();
}

}  // namespace palomix
