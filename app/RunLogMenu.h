// The window's run logs (frontend/RunLog.h): a log of every run is kept in the user's state
// folder, and two items of the Help menu lead to it. "Open the run logs" shows their folder;
// "Report a problem…" puts the versions (Palomix, the ffmpeg of cores, the way media is probed)
// and the place of the newest log on the clipboard, to paste into a report, and says so.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/Engine.h"
#include "frontend/RunLog.h"
#include "settings/Language.h"

class QAction;
class QMenu;

namespace palomix {

struct RunLogTexts {
    std::string_view menuOpenLogs;
    std::string_view menuReport;
    std::string_view reportCopiedFormat;   // "{path}": the newest log
    std::string_view reportCopiedNoLog;    // no run has been logged yet
    std::string_view noFolder;             // no state folder is known
    std::string_view folderNotMadeFormat;  // "{folder}", "{reason}"
};

const RunLogTexts& RunLogTextsFor(Language language);

class RunLogMenu {
public:
    using Action = std::function<void(const std::string& text)>;

    // Adds the log as an observer of `engine` (taken off again when the menu goes, which must be
    // before the engine) and the two items to `help`, before `before`. `folder`: the run log
    // folder; empty when none is known. `open` opens a folder with the desktop's program, `say`
    // shows a message.
    RunLogMenu(Engine& engine, QMenu& help, QAction* before, std::string folder, Action open,
               Action say);
    ~RunLogMenu();
    RunLogMenu(const RunLogMenu&) = delete;
    RunLogMenu& operator=(const RunLogMenu&) = delete;

    void SetLanguage(Language language);

    // The menu's items.
    void OpenLogs();
    void ReportProblem();
    // What ReportProblem puts on the clipboard.
    std::string ReportText();

    const RunLog& Log() const { return log_; }

    QAction* openLogs = nullptr;  // Help: Open the run logs
    QAction* report = nullptr;    // Help: Report a problem…

private:
    Engine& engine_;
    const std::string folder_;
    RunLog log_;
    Action open_;
    Action say_;
    Language language_ = Language::Japanese;
};

}  // namespace palomix
