// The context menu of the job grid and the editing of the queue it offers. Waiting rows can be
// taken out of the queue (the selected ones, also with the Delete key, or all of them) or moved
// to the top, below the rows being converted; a row being converted is never taken out: its
// own "Stop this file" ends it, as the Stop button ends the first. For any row the menu also
// opens the folder its outputs go to and copies its command lines, as the run would start
// them now, to the clipboard, one per line.
//
// While no run is active, the menu's first item starts the files that wait (files from outside
// the window the user did not convert at once, files kept from an earlier start).
//
// The menu is made when it is asked for, with the items that apply enabled; the rows an item
// acts on are those selected when it is chosen, or the job the menu was opened over, found
// again by its id (the list may have moved on meanwhile).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "settings/Language.h"

class QMenu;

namespace palomix {

class TStringGrid;

class QueueContextMenu final : public QObject {
    Q_OBJECT

public:
    // `openFolder` opens a folder with the system's program (the window's opener).
    QueueContextMenu(Engine& engine, TStringGrid& grid,
                     std::function<void(const std::string& folder)> openFolder,
                     QObject* parent = nullptr);

    void SetLanguage(Language language) { language_ = language; }

    // The user starts the waiting files.
    std::function<void()> OnStart;

    // The menu for a context menu over job `index` (-1: over no job), not shown yet; its items
    // are named by their object names: startWaiting, stopThisFile, removeFromQueue,
    // removeAllWaiting, moveToTop, openOutputFolder, copyCommandLines.
    std::unique_ptr<QMenu> MakeMenu(int index);
    // Shows that menu at the point given; it goes when it closes.
    void Popup(int index, const QPoint& globalPos);

    // The jobs of the selected rows, in list order.
    std::vector<JobId> SelectedJobs() const;
    // The editing; each returns the number of jobs taken out or moved.
    int RemoveSelected();
    int RemoveAllWaiting();
    int MoveSelectedToTop();

    // The folder job `id`'s outputs go to (its first output's folder as the run would name it
    // now, else the output folder), or the nearest folder above it that is there.
    std::string OutputFolderOf(JobId id);
    // The command lines job `id` would start now, one per line; empty when none would run.
    std::string CommandLinesOf(JobId id);

private:
    std::vector<JobId> WaitingAmong(const std::vector<JobId>& ids) const;

    Engine& engine_;
    TStringGrid& grid_;
    std::function<void(const std::string&)> openFolder_;
    Language language_ = Language::Japanese;
};

}  // namespace palomix
