#include "app/WatchListWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/QtText.h"

namespace palomix {

namespace {

enum Column { kFolder, kCommand, kOutput, kState, kConverted, kFailed, kColumns };

// The title of a watch's command in the language; its item number when it is gone.
std::string CommandTitle(Engine& engine, const ChosenCommand& command, Language language) {
    for (const CommandRow& row : engine.CommandsOf(command.settingsFile, language)) {
        if (row.itemNumber == command.itemNumber) {
            return row.title;
        }
    }
    return command.settingsFile + " #" + std::to_string(command.itemNumber);
}

}  // namespace

TWatchListWindow::TWatchListWindow(Engine& engine, Language language, QWidget* parent)
    : QDialog(parent),
      engine_(engine),
      language_(language),
      table_(new QTableWidget(0, kColumns, this)),
      notice_(new QLabel(this)),
      failuresLabel_(new QLabel(this)),
      failures_(new QListWidget(this)),
      pause_(new QPushButton(this)),
      resume_(new QPushButton(this)),
      remove_(new QPushButton(this)),
      retry_(new QPushButton(this)),
      close_(new QPushButton(this)) {
    setModal(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(false);
    failures_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    notice_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {pause_, resume_, remove_}) {
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* failureButtons = new QHBoxLayout;
    failureButtons->addWidget(retry_);
    failureButtons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 2);
    layout->addLayout(buttons);
    layout->addWidget(notice_);
    layout->addWidget(failuresLabel_);
    layout->addWidget(failures_, 1);
    layout->addLayout(failureButtons);
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { ShowSelected(); });
    connect(pause_, &QPushButton::clicked, this, [this] { Act(&Engine::PauseWatch); });
    connect(resume_, &QPushButton::clicked, this, [this] { Act(&Engine::ResumeWatch); });
    connect(remove_, &QPushButton::clicked, this, [this] { Act(&Engine::RemoveWatch); });
    connect(retry_, &QPushButton::clicked, this, [this] { Retry(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    engine_.AddObserver(this);
    SetLanguage(language);
    resize(900, 480);
}

TWatchListWindow::~TWatchListWindow() {
    engine_.RemoveObserver(this);
}

void TWatchListWindow::SetLanguage(Language language) {
    language_ = language;
    const WatchTexts& texts = WatchTextsFor(language);
    setWindowTitle(Q(texts.listTitle));
    table_->setHorizontalHeaderLabels({Q(texts.columnFolder), Q(texts.columnCommand),
                                       Q(texts.columnOutput), Q(texts.columnState),
                                       Q(texts.columnConverted), Q(texts.columnFailed)});
    failuresLabel_->setText(Q(texts.failuresLabel));
    pause_->setText(Q(texts.pauseButton));
    resume_->setText(Q(texts.resumeButton));
    remove_->setText(Q(texts.removeButton));
    retry_->setText(Q(texts.retryButton));
    close_->setText(Q(texts.closeButton));
    Refresh();
}

void TWatchListWindow::WatchChanged(WatchId /*id*/) {
    if (isVisible()) {
        Refresh();
    }
}

void TWatchListWindow::Refresh() {
    const int selected = table_->currentRow();
    views_ = engine_.Watches();
    const WatchTexts& texts = WatchTextsFor(language_);
    const RunTexts& runTexts = RunTextsFor(language_);
    const QSignalBlocker quiet(table_);
    table_->setRowCount(static_cast<int>(views_.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const WatchView& view = views_[static_cast<std::size_t>(row)];
        const std::string cells[kColumns] = {
            view.settings.folder,           CommandTitle(engine_, view.settings.command, language_),
            view.settings.outputFolder,     WatchStateWords(view, texts, runTexts),
            std::to_string(view.converted), std::to_string(view.failures.size())};
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem(Q(cells[column]));
            item->setToolTip(Q(cells[column]));
            table_->setItem(row, column, item);
        }
    }
    table_->resizeColumnsToContents();
    if (!views_.empty()) {
        table_->selectRow(std::clamp(selected, 0, table_->rowCount() - 1));
    }
    ShowSelected();
}

void TWatchListWindow::SelectRow(int row) {
    table_->selectRow(row);
    ShowSelected();
}

const WatchView* TWatchListWindow::Selected() const {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(views_.size())) {
        return nullptr;
    }
    return &views_[static_cast<std::size_t>(row)];
}

void TWatchListWindow::ShowSelected() {
    const WatchTexts& texts = WatchTextsFor(language_);
    const RunTexts& runTexts = RunTextsFor(language_);
    const WatchView* view = Selected();
    failures_->clear();
    pause_->setEnabled(view != nullptr && view->state != WatchState::Paused);
    resume_->setEnabled(view != nullptr && view->state == WatchState::Paused);
    remove_->setEnabled(view != nullptr);
    retry_->setEnabled(view != nullptr && !view->failures.empty());
    if (view == nullptr) {
        notice_->setText(views_.empty() ? Q(texts.noWatches) : QString());
        return;
    }
    notice_->setText(view->recordError
                         ? Q(FillIn(FillIn(texts.recordNotKeptFormat, "{path}", view->recordFile),
                                    "{reason}", view->recordError.message()))
                         : QString());
    for (const WatchFailure& failure : view->failures) {
        auto* item =
            new QListWidgetItem(Q(FillIn(FillIn(texts.failureFormat, "{path}", failure.path),
                                         "{reason}", WatchFailureWords(failure.result, runTexts))),
                                failures_);
        item->setData(Qt::UserRole, Q(failure.path));
    }
}

void TWatchListWindow::Act(bool (Engine::*verb)(WatchId)) {
    if (const WatchView* view = Selected()) {
        (engine_.*verb)(view->id);
        Refresh();
        if (OnChanged) {
            OnChanged();
        }
    }
}

void TWatchListWindow::Retry() {
    const WatchView* view = Selected();
    if (view == nullptr) {
        return;
    }
    std::vector<std::string> paths;
    for (const QListWidgetItem* item : failures_->selectedItems()) {
        paths.push_back(item->data(Qt::UserRole).toString().toStdString());
    }
    engine_.RetryWatchFailures(view->id, paths);
    Refresh();
}

}  // namespace palomix
