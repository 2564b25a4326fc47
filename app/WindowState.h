// What the window keeps from one start to the next. The state file Palomix.ini (in the program
// folder, or in the user's folder for an installed copy: settings/ProgramPlaces.h) holds the
// window's place, the language, the two selections, the output folder and the run choices;
// the first activation restores them and a close saves them. The queue file beside it keeps
// the job list while it changes (QueueSaver); at the restore a queue a previous start left
// unfinished is offered to go on (with the settings it was left with), to wait in the list, or
// to be discarded, and a damaged one is set aside.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/MessageSink.h"
#include "engine/Engine.h"
#include "settings/ProgramPlaces.h"
#include "settings/QueueFile.h"

class QMainWindow;

namespace palomix {

class CommandPicker;
class FileMenu;
class QueueSaver;
class RunPresenter;
class RunSettingsMenu;
struct WindowControls;

class WindowState {
public:
    // What the state is read from and written into: the window, its controls and menus, the
    // core and the window's parts that restore their own; `setLanguage` switches the window's
    // language as its menu items do, `noLanguage` sets the window up for none checked.
    struct Parts {
        QMainWindow& window;
        WindowControls& controls;
        Engine& engine;
        CommandPicker& picker;
        RunPresenter& presenter;
        RunSettingsMenu& runMenu;
        FileMenu& fileMenu;
        std::shared_ptr<MessageSink> messages;
        const ProgramPlaces& places;
        std::string queueFile;     // empty: the window keeps no queue
        std::string systemLocale;  // the system's locale name, for a start without a choice
        std::function<void(Language)> setLanguage;
        std::function<void()> noLanguage;
    };
    explicit WindowState(Parts parts);
    ~WindowState();
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

    // The first call restores the state kept (and the kept queue); later ones do nothing.
    // False when restored before.
    bool Restore();
    bool Restored() const { return restored_; }
    // The language the window starts in, before the restore: the one the state file keeps,
    // else the system's (LanguageAtStart); nullopt for none.
    std::optional<Language> StartLanguage() const;
    // Saves the state into the state file, creating its folder when needed. A failure to write
    // is shown naming the file (written to the standard error stream instead when `quiet`).
    // Before the state was restored there is nothing of the window's own to keep, and the file
    // is left as it is. True when saved or left.
    bool Save(bool quiet);

    // The settings the list is converted with changed: the kept queue follows.
    void SettingsChanged();
    // The list as it is now goes into the queue file, which is written no more (a close that
    // stops the conversions keeps the head job, which the stop is about to end, still first).
    void KeepQueueAsItIs();
    // Writes the list as the window leaves it.
    void SaveQueueNow();

    const std::string& StateFile() const { return places_.stateFile; }
    // nullptr when the window keeps no queue.
    QueueSaver* Saver() const { return saver_.get(); }

private:
    void RestoreLanguage(std::optional<bool> japanese, std::optional<bool> english);
    // The queue kept by the previous start: asked about and put back, or discarded only when
    // the user says so; a damaged one is set aside. From then on the list is kept.
    void RestoreQueue();
    // The kept files back in the list with their settings, started now or left waiting.
    void ContinueQueue(const SavedQueue& queue, bool startNow);
    // The settings the list is kept with.
    SavedQueue QueueSettings() const;
    void Message(const std::string& text);

    QMainWindow& window_;
    WindowControls& controls_;
    Engine& engine_;
    CommandPicker& picker_;
    RunPresenter& presenter_;
    RunSettingsMenu& runMenu_;
    FileMenu& fileMenu_;
    std::shared_ptr<MessageSink> messages_;
    const ProgramPlaces& places_;
    std::string systemLocale_;
    std::function<void(Language)> setLanguage_;
    std::function<void()> noLanguage_;
    std::unique_ptr<QueueSaver> saver_;
    bool restored_ = false;
};

}  // namespace palomix
