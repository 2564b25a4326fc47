// The dialog of File → "Watch a folder…": the folder to watch, the settings file and convert
// command its files are converted with, the output folder, and whether subfolders count. It
// starts with the window's choices, and gives the watch's settings when the user confirms a
// folder that can be read and a command.
#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "app/WatchTexts.h"
#include "engine/Engine.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;

namespace palomix {

class TFolderBrowseEdit;

class TWatchDialog final : public QDialog {
    Q_OBJECT

public:
    // The settings files and commands come from the core in the language given; the fields start
    // with `initial` (its folder may be empty).
    TWatchDialog(Engine& engine, Language language, const WatchSettings& initial,
                 QWidget* parent = nullptr);

    // The watch as the fields give it; nullopt (and `problem` says why, in words) when it cannot
    // be a watch.
    std::optional<WatchSettings> Settings(std::string& problem) const;

    TFolderBrowseEdit& FolderEdit() const { return *folder_; }
    TFolderBrowseEdit& OutputEdit() const { return *output_; }
    QComboBox& SettingsBox() const { return *settingsFiles_; }
    QComboBox& CommandBox() const { return *commands_; }
    QCheckBox& SubfoldersBox() const { return *subfolders_; }
    QPushButton& WatchButton() const { return *watch_; }

    void accept() override;

    // Told when the user confirms settings that cannot be a watch (the reason in words).
    std::function<void(const std::string& problem)> OnProblem;

private:
    void FillCommands(int item);

    Engine& engine_;
    const Language language_;
    const WatchTexts& texts_;
    std::vector<std::string> settingsPaths_;
    TFolderBrowseEdit* folder_;
    QComboBox* settingsFiles_;
    QComboBox* commands_;
    TFolderBrowseEdit* output_;
    QCheckBox* subfolders_;
    QDialogButtonBox* buttons_;
    QPushButton* watch_;
};

}  // namespace palomix
