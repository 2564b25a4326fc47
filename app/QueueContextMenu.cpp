#include "app/QueueContextMenu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <algorithm>

#include "app/QtText.h"
#include "app/QueueTexts.h"
#include "app/StringGrid.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"

namespace palomix {

QueueContextMenu::QueueContextMenu(Engine& engine, TStringGrid& grid,
                                   std::function<void(const std::string&)> openFolder,
                                   QObject* parent)
    : QObject(parent), engine_(engine), grid_(grid), openFolder_(std::move(openFolder)) {
    connect(&grid_, &TStringGrid::RowMenuRequested, this,
            [this](int row, QPoint globalPos) { Popup(row, globalPos); });
    connect(&grid_, &TStringGrid::DeletePressed, this, [this] { RemoveSelected(); });
}

std::unique_ptr<QMenu> QueueContextMenu::MakeMenu(int index) {
    const QueueTexts& texts = QueueTextsFor(language_);
    const JobId id = engine_.Job(index).id;  // 0 outside the list
    const bool converting = id != 0 && engine_.IsConverting(id);
    const bool anySelectedWaiting = !WaitingAmong(SelectedJobs()).empty();
    bool anyWaiting = false;
    for (std::int32_t row = 0; row < engine_.JobCount() && !anyWaiting; ++row) {
        anyWaiting = !engine_.IsConverting(engine_.Job(row).id);
    }

    auto menu = std::make_unique<QMenu>(&grid_);
    const auto add = [&menu](const char* name, std::string_view text, bool enabled,
                             std::function<void()> act) {
        QAction* action = menu->addAction(Q(text));
        action->setObjectName(QString::fromLatin1(name));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu.get(), std::move(act));
        return action;
    };
    if (!engine_.RunActive()) {
        add("startWaiting", texts.startWaiting, anyWaiting && OnStart != nullptr, [this] {
            if (OnStart) {
                OnStart();
            }
        });
        menu->addSeparator();
    }
    if (converting) {
        add("stopThisFile", texts.stopThisFile, true, [this, id] { engine_.StopJob(id); });
        menu->addSeparator();
    }
    add("removeFromQueue", texts.removeFromQueue, anySelectedWaiting, [this] { RemoveSelected(); });
    add("moveToTop", texts.moveToTop, anySelectedWaiting, [this] { MoveSelectedToTop(); });
    add("removeAllWaiting", texts.removeAllWaiting, anyWaiting, [this] { RemoveAllWaiting(); });
    menu->addSeparator();
    add("openOutputFolder", texts.openOutputFolder, id != 0, [this, id] {
        if (engine_.IndexOf(id)) {
            openFolder_(OutputFolderOf(id));
        }
    });
    const std::string lines = id != 0 ? CommandLinesOf(id) : std::string();
    add("copyCommandLines", texts.copyCommandLines, !lines.empty(),
        [lines] { QGuiApplication::clipboard()->setText(Q(lines)); });
    return menu;
}

void QueueContextMenu::Popup(int index, const QPoint& globalPos) {
    QMenu* menu = MakeMenu(index).release();
    menu->setAttribute(Qt::WA_DeleteOnClose);  // the grid owns it until then
    menu->popup(globalPos);
}

std::vector<JobId> QueueContextMenu::SelectedJobs() const {
    std::vector<std::int32_t> rows;
    for (const QItemSelectionRange& range : grid_.selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<JobId> ids;
    ids.reserve(rows.size());
    for (const std::int32_t row : rows) {
        if (const JobId id = engine_.Job(row).id; id != 0) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<JobId> QueueContextMenu::WaitingAmong(const std::vector<JobId>& ids) const {
    std::vector<JobId> waiting;
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(waiting),
                 [this](JobId id) { return !engine_.IsConverting(id); });
    return waiting;
}

int QueueContextMenu::RemoveSelected() {
    return engine_.RemoveWaiting(SelectedJobs());
}

int QueueContextMenu::RemoveAllWaiting() {
    std::vector<JobId> ids;
    ids.reserve(static_cast<std::size_t>(engine_.JobCount()));
    engine_.VisitJobs([&ids](const JobView& job) { ids.push_back(job.id); });
    return engine_.RemoveWaiting(ids);
}

int QueueContextMenu::MoveSelectedToTop() {
    const std::vector<JobId> moved = WaitingAmong(SelectedJobs());
    if (moved.empty()) {
        return 0;
    }
    engine_.MoveToTop(moved);
    // They stay selected where they are now: right below the rows being converted.
    std::int32_t top = 0;
    while (top < engine_.JobCount() && engine_.IsConverting(engine_.Job(top).id)) {
        ++top;
    }
    const QAbstractItemModel* model = grid_.model();
    const auto count = static_cast<int>(moved.size());
    grid_.selectionModel()->select(
        QItemSelection(model->index(top, 0),
                       model->index(top + count - 1, model->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return count;
}

std::string QueueContextMenu::OutputFolderOf(JobId id) {
    const std::optional<std::int32_t> index = engine_.IndexOf(id);
    if (!index) {
        return {};
    }
    std::string folder;
    for (const LineOutput& output : engine_.Plan(*index).Outputs()) {
        if (!output.path.empty()) {
            folder = FolderOf(output.path, engine_.Style());
            break;
        }
    }
    if (folder.empty()) {
        folder = engine_.OutputFolder();
        const std::string_view subfolder = engine_.Job(*index).subfolder;
        if (engine_.KeepTree() && !subfolder.empty() && !folder.empty()) {
            folder = JoinPath(folder, subfolder, engine_.Style());
        }
    }
    // A folder the run has not made yet: the nearest one above it that is there.
    std::string there = folder;
    while (!there.empty() && !IsFolder(there)) {
        std::string above = FolderOf(there, engine_.Style());
        if (above == there) {
            break;
        }
        there = std::move(above);
    }
    return there.empty() ? folder : there;
}

std::string QueueContextMenu::CommandLinesOf(JobId id) {
    const std::optional<std::int32_t> index = engine_.IndexOf(id);
    if (!index || !engine_.CurrentCommand()) {
        return {};
    }
    std::string text;
    for (const PlannedLine& line : engine_.Plan(*index).lines) {
        if (line.Runs()) {
            text += line.commandLine;
            text += '\n';
        }
    }
    return text;
}

}  // namespace palomix
