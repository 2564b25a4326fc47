#include "app/RunPresenter.h"

#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <iterator>
#include <optional>
#include <utility>

#include "app/DesktopSession.h"
#include "app/FailureWindow.h"
#include "app/ProgressDelegate.h"
#include "app/ProgressWords.h"
#include "app/QtText.h"
#include "app/QueueEndAction.h"
#include "app/QueueTexts.h"
#include "app/RunOptionTexts.h"
#include "app/RunSettingsMenu.h"
#include "app/RunStatusStrip.h"
#include "app/StringGrid.h"
#include "app/WindowLayout.h"

namespace palomix {

RunPresenter::RunPresenter(Parts parts)
    : engine_(parts.engine),
      window_(parts.window),
      controls_(parts.controls),
      runMenu_(parts.runMenu),
      desktop_(parts.desktop),
      messages_(std::move(parts.messages)),
      queueEnd_(std::make_unique<QueueEndAction>(window_, desktop_, messages_,
                                                 parts.powerCountdownSeconds)),
      drops_(std::make_unique<DropWalk>(
          [this](std::vector<JobEntry> files) {
              // A drop's first files start the run; the rest join it.
              engine_.AddFiles(files);
              if (!dropStarted_) {
                  dropStarted_ = true;
                  endDuringDrop_.reset();
                  StartRun();
              }
          },
          [this](const IntakeResult& result) {
              report_.PathsNotAdded(result.skipped);
              const bool started = std::exchange(dropStarted_, false);
              if (std::optional<RunEnd> ended = std::exchange(endDuringDrop_, std::nullopt)) {
                  RunEnded(*ended);  // no file of the drop came after the run's end
              } else if (!started) {
                  StartRun();
              }
              Refresh();
          })) {
    // A converting row's status cell shows its progress as a bar, its tool tip in words.
    const auto progressOf = [this](int row) -> std::optional<JobProgress> {
        const JobView job = engine_.Job(row);
        return job.id != 0 ? engine_.ProgressOf(job.id) : std::nullopt;
    };
    progress_ = new ProgressDelegate(
        progressOf,
        [this, progressOf](int row) {
            const std::optional<JobProgress> progress = progressOf(row);
            return progress ? Q(JobProgressToolTip(*progress, RunOptionTextsFor(TextLanguage())))
                            : QString();
        },
        &window_);
    controls_.StringGrid2->setItemDelegate(progress_);
    controls_.StringGrid2->FixedColumn().setItemDelegate(progress_);
    controls_.RunStatus1->OnClick = [this] { ShowFailures(); };
    engine_.AddObserver(this);
}

RunPresenter::~RunPresenter() {
    drops_.reset();
    engine_.RemoveObserver(this);
    controls_.RunStatus1->OnClick = nullptr;
    if (failureWindow_ != nullptr) {
        failureWindow_->OnConvertAgain = nullptr;
        failureWindow_->OnClear = nullptr;
    }
}

// --- New jobs --------------------------------------------------------------------------------

void RunPresenter::TakeDrop(std::span<const std::string> paths) {
    BeginBatch();
    drops_->Take(std::vector<std::string>(paths.begin(), paths.end()));
}

void RunPresenter::TakeFiles(std::span<const JobEntry> files, FilesStart start) {
    BeginBatch();
    engine_.AddFiles(files);
    switch (start) {
        case FilesStart::Now:
            StartRun();
            break;
        case FilesStart::WhenACommandIsChosen:
            waiting_ = Waiting::ForCommand;
            break;
        case FilesStart::WhenTheUserStarts:
            waiting_ = Waiting::ForStart;
            break;
    }
    Refresh();
}

void RunPresenter::ConvertAgain() {
    const std::vector<std::string> files = report_.TakeFilesToConvertAgain();
    if (files.empty()) {
        return;
    }
    BeginBatch();
    engine_.AddFiles(files);
    StartRun();
    Refresh();
}

void RunPresenter::WatchQueued(WatchId /*id*/, std::int32_t /*count*/) {
    BeginBatch();
    StartRun();
    Refresh();
}

void RunPresenter::ClearFailures() {
    report_.ClearFailures();
    Refresh();
}

void RunPresenter::StartWaitingJobs() {
    // Jobs that were dropped before a command was chosen start once the user has chosen one.
    if (waiting_ == Waiting::ForCommand && engine_.JobCount() > 0 && !engine_.RunActive() &&
        engine_.SelectedCommand()) {
        StartRun();
    }
    Refresh();
}

void RunPresenter::StartWaiting() {
    if (engine_.RunActive() || engine_.JobCount() == 0) {
        return;
    }
    BeginBatch();
    StartRun();
    Refresh();
}

// --- Files from outside the window -----------------------------------------------------------

void RunPresenter::TakeArrivals(std::vector<std::string> paths) {
    if (paths.empty()) {
        return;
    }
    if (engine_.RunActive()) {
        arrivedAside_.insert(arrivedAside_.end(), std::make_move_iterator(paths.begin()),
                             std::make_move_iterator(paths.end()));
    } else {
        const std::int32_t before = engine_.JobCount();
        QueueWaiting(paths);
        arrivedJobs_ += engine_.JobCount() - before;
    }
    // Once for all that arrive meanwhile, after the call that brought them has returned (a
    // later start is not kept waiting for the answer).
    if (!questionDue_ && !asking_) {
        questionDue_ = true;
        QTimer::singleShot(0, &window_, [this] { AskAboutArrivals(); });
    }
}

void RunPresenter::QueueWaiting(std::span<const std::string> paths) {
    BeginBatch();
    report_.PathsNotAdded(engine_.AddPaths(paths).skipped);
    if (!engine_.RunActive() && engine_.JobCount() > 0) {
        waiting_ = Waiting::ForStart;
    }
    Refresh();
}

void RunPresenter::AskAboutArrivals() {
    questionDue_ = false;
    const std::optional<ChosenCommand> command = engine_.SelectedCommand();
    const int row = engine_.SelectedCommandRow();
    const std::vector<CommandRow> rows = engine_.CommandRows();
    if (!command || row < 0 || row >= static_cast<int>(rows.size())) {
        // Nothing to ask about: they wait for a command, as a drop does without one.
        if (!arrivedAside_.empty() && !engine_.RunActive()) {
            QueueWaiting(std::exchange(arrivedAside_, {}));
        }
        if (std::exchange(arrivedJobs_, 0) > 0) {
            waiting_ = Waiting::ForCommand;
            Refresh();
            Message(RunTextsFor(TextLanguage()).chooseSettings);
        }
        return;
    }
    const std::size_t files = static_cast<std::size_t>(arrivedJobs_) + arrivedAside_.size();
    if (files == 0) {
        return;
    }
    asking_ = true;
    const int answer = messages_->Ask(
        &window_, ArrivalQuestion(files, rows[static_cast<std::size_t>(row)].title,
                                  engine_.OutputFolder(), QueueTextsFor(TextLanguage())));
    asking_ = false;
    // The answer covers what arrived while the question was open too.
    arrivedJobs_ = 0;
    std::vector<std::string> aside = std::exchange(arrivedAside_, {});
    if (closeMode_ == CloseMode::AfterStop) {
        return;  // the program is ending: the list was kept as it was
    }
    if (answer == kConvertArrivals) {
        if (!aside.empty()) {
            BeginBatch();
            report_.PathsNotAdded(engine_.AddPaths(aside).skipped);
        }
        StartRun();
    } else if (engine_.RunActive()) {
        afterRun_.insert(afterRun_.end(), std::make_move_iterator(aside.begin()),
                         std::make_move_iterator(aside.end()));
    } else if (!aside.empty()) {
        QueueWaiting(aside);
    }
    Refresh();
}

void RunPresenter::BeginBatch() {
    if (!engine_.RunActive()) {
        report_.Reset();
    }
}

void RunPresenter::StartRun() {
    waiting_ = Waiting::No;
    engine_.StartRun();
    if (engine_.RunActive()) {
        queueEnd_->CallOff();  // a countdown of the last run's end does not follow this one
    }
}

void RunPresenter::Tick() {
    engine_.Tick();
    if (engine_.RunActive()) {
        ShowRunState();
        controls_.StringGrid2->FixedColumn().viewport()->update();  // the progress bars
    }
}

void RunPresenter::SetPendingClose(CloseMode mode) {
    closeMode_ = mode;
    Refresh();
}

// --- What the core tells ---------------------------------------------------------------------

void RunPresenter::JobsAdded(std::int32_t /*first*/, std::int32_t /*count*/) {
    Refresh();
}

void RunPresenter::JobsRemoved(std::int32_t /*first*/, std::int32_t /*count*/) {
    Refresh();
}

void RunPresenter::StopEnabledChanged(bool enabled) {
    controls_.Button1->setEnabled(enabled);
    Refresh();
}

void RunPresenter::CommandStarted(const CommandStart& /*start*/) {
    report_.CommandStarted();
    Refresh();
}

void RunPresenter::JobEnded(const JobResult& result) {
    report_.JobEnded(result);
    Refresh();
}

void RunPresenter::RunEnded(const RunEnd& end) {
    if (end.reason == RunEndReason::QueueEmpty && closeMode_ == CloseMode::None &&
        drops_ != nullptr && drops_->Busy()) {
        // The jobs were converted faster than the drop was walked: the queue is not done yet.
        endDuringDrop_ = end;
        dropStarted_ = false;
        Refresh();
        return;
    }
    Refresh();
    TellRunEnd(end);
    if (closeMode_ != CloseMode::None) {
        if (OnCloseNow) {
            OnCloseNow();
        }
        return;
    }
    if (!afterRun_.empty()) {
        // Files that arrived during the run and were not to be converted now.
        QueueWaiting(std::exchange(afterRun_, {}));
    }
    if (end.reason == RunEndReason::NothingSelected) {
        waiting_ = Waiting::ForCommand;
        Refresh();
        Message(RunTextsFor(TextLanguage()).chooseSettings);
    }
}

void RunPresenter::StopFailed() {
    if (closeMode_ == CloseMode::AfterStop) {
        return;  // closing: the command ended by itself, which is what the stop wanted
    }
    Message(RunTextsFor(TextLanguage()).stopFailed);
}

void RunPresenter::TellRunEnd(const RunEnd& end) {
    if (closeMode_ == CloseMode::AfterStop) {
        return;  // the program ends at the user's or the system's word
    }
    const RunOptionTexts& texts = RunOptionTextsFor(TextLanguage());
    if (const std::optional<RunEndNotice> notice = NoticeOfRunEnd(
            end.reason, report_.Tally(),
            RunStatusLine(report_, false, engine_.JobCount(), RunTextsFor(TextLanguage())).text,
            texts)) {
        desktop_.Notify(notice->title, notice->body);
    }
    if (closeMode_ == CloseMode::None && QueueDoneActionFollows(end.reason, report_.Tally())) {
        queueEnd_->QueueDone(runMenu_.Choices().whenQueueDone, texts, [this] {
            if (OnQuitWhenDone) {
                OnQuitWhenDone();
            }
        });
    }
}

// --- What the window shows -------------------------------------------------------------------

void RunPresenter::Refresh() {
    ShowRunState();
    UpdateFailureWindow();
}

void RunPresenter::ShowRunState() {
    const RunTexts& texts = RunTextsFor(TextLanguage());
    const bool active = engine_.RunActive();
    const std::string jobs = std::to_string(engine_.JobCount());
    StatusLine line;
    if (closeMode_ == CloseMode::AfterStop) {
        line.text = texts.closingAfterStop;
    } else if (closeMode_ == CloseMode::WhenDone) {
        line.text = FillIn(texts.closingWhenDoneFormat, "{jobs}", jobs);
    } else if (waiting_ == Waiting::ForCommand && !active && engine_.JobCount() > 0) {
        line.text = FillIn(texts.waitingForCommandFormat, "{jobs}", jobs);
    } else if (waiting_ == Waiting::ForStart && !active && engine_.JobCount() > 0) {
        line.text = FillIn(texts.waitingForStartFormat, "{jobs}", jobs);
    } else {
        line = RunStatusLine(
            report_, active, engine_.JobCount(), texts,
            active ? QueueProgressWords(engine_.Queue(), RunOptionTextsFor(TextLanguage()))
                   : std::string());
    }
    controls_.RunStatus1->SetStatus(Q(line.text), line.pointsToList, Q(line.path), Q(line.hint));
    // The desktop: no sleep while converting, the queue's share on the program's button.
    desktop_.KeepAwake(active);
    const std::optional<double> percent = active ? engine_.Queue().percent : std::nullopt;
    desktop_.ShowProgress(percent ? std::optional<double>(*percent / 100) : std::nullopt);
    runMenu_.SetRunActive(active);
}

void RunPresenter::UpdateFailureWindow() {
    if (failureWindow_ == nullptr || !failureWindow_->isVisible()) {
        return;
    }
    const RunTexts& texts = RunTextsFor(TextLanguage());
    failureWindow_->SetContents(Q(texts.failureWindowTitle), Q(FailureListText(report_, texts)),
                                Q(texts.convertAgainButton), Q(texts.clearListButton),
                                Q(texts.closeButton));
    failureWindow_->SetActions(report_.HasFilesToConvertAgain(), report_.FailureCount() > 0);
}

void RunPresenter::ShowFailures() {
    if (failureWindow_ == nullptr) {
        failureWindow_ = new TFailureWindow(&window_);
        failureWindow_->setAcceptDrops(false);
        failureWindow_->OnConvertAgain = [this] { ConvertAgain(); };
        failureWindow_->OnClear = [this] { ClearFailures(); };
    }
    failureWindow_->show();
    UpdateFailureWindow();
    failureWindow_->raise();
    failureWindow_->activateWindow();
}

void RunPresenter::CloseFailures() {
    if (failureWindow_ != nullptr) {
        failureWindow_->close();
    }
}

void RunPresenter::Message(std::string_view text) {
    messages_->ShowMessage(&window_, Q(text));
}

Language RunPresenter::TextLanguage() const {
    return TextLanguageOf(controls_);
}

}  // namespace palomix
