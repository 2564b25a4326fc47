// The run as the window shows it, and the window's part in it: the jobs a drop (or a kept
// queue, or "Convert again") brings and the run they start, the files that arrive from outside
// the window (the command line, a later start) and the question whether to convert them, the
// Stop button, the status strip
// left of it with the batch's counts and the queue's progress, the grid's progress bars, the
// failure list, the notice at a run's end and what the user chose to follow a queue done. The
// presenter is the window's EngineObserver for all of it.
//
// A close pending while the run goes on is shown on the strip and ends the window when the run
// has ended (OnCloseNow); the window tells the presenter about it (SetPendingClose).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/DropWalk.h"
#include "app/MessageSink.h"
#include "app/RunReport.h"
#include "engine/Engine.h"

class QWidget;

namespace palomix {

class DesktopSession;
class ProgressDelegate;
class QueueEndAction;
class RunSettingsMenu;
class TFailureWindow;
struct WindowControls;

// How a close during a run goes on.
enum class CloseMode {
    None,       // no close pending
    WhenDone,   // the window closes when the run has ended
    AfterStop,  // every conversion was stopped; the window closes when the run has ended
};

// When files put into the list start.
enum class FilesStart {
    Now,
    WhenACommandIsChosen,  // none is chosen: the first choice of one starts them
    WhenTheUserStarts,     // they wait for the start of the list's menu (or the next drop)
};

class RunPresenter final : private EngineObserver {
public:
    // What the presenter works with: the window and its controls, the Settings menu's run
    // choices, the desktop around the window.
    struct Parts {
        Engine& engine;
        QWidget& window;
        WindowControls& controls;
        RunSettingsMenu& runMenu;
        DesktopSession& desktop;
        std::shared_ptr<MessageSink> messages;
        int powerCountdownSeconds = 60;
    };
    explicit RunPresenter(Parts parts);
    ~RunPresenter() override;
    RunPresenter(const RunPresenter&) = delete;
    RunPresenter& operator=(const RunPresenter&) = delete;

    // The run ended with a close pending: the window closes now.
    std::function<void()> OnCloseNow;
    // The queue is done and the user chose to quit then.
    std::function<void()> OnQuitWhenDone;

    // New jobs, a new batch when no run is active, and the run started: dropped paths (those
    // that add no job are listed as failures; the files of a large drop come in batches, the
    // run starting with the first), files put into the list as they are (started as `start`
    // says), the failed and stopped files of the failure list.
    void TakeDrop(std::span<const std::string> paths);
    void TakeFiles(std::span<const JobEntry> files, FilesStart start);
    void ConvertAgain();
    void ClearFailures();
    // Paths from outside the window: queued without being started, and the user is asked once,
    // a moment later, whether to convert them with the command and into the folder chosen now.
    // During a run they wait aside for the answer (the run would take up anything queued);
    // those the user does not convert now join the list when the run has ended.
    void TakeArrivals(std::vector<std::string> paths);
    // Jobs that wait for a command start when one is chosen now.
    void StartWaitingJobs();
    // The list's menu starts the jobs that wait, whatever they wait for.
    void StartWaiting();
    // The run timer's tick.
    void Tick();

    void SetPendingClose(CloseMode mode);
    CloseMode PendingClose() const { return closeMode_; }

    // The strip, the failure list and the desktop brought up to date (after a change of
    // language, say).
    void Refresh();
    // Opens the failure list (also a click on the status strip).
    void ShowFailures();
    void CloseFailures();

    const RunReport& Report() const { return report_; }
    TFailureWindow* FailureWindow() const { return failureWindow_; }
    QueueEndAction& QueueEnd() const { return *queueEnd_; }
    ProgressDelegate& GridProgress() const { return *progress_; }

private:
    void JobsAdded(std::int32_t first, std::int32_t count) override;
    void JobsRemoved(std::int32_t first, std::int32_t count) override;
    void StopEnabledChanged(bool enabled) override;
    void CommandStarted(const CommandStart& start) override;
    void JobEnded(const JobResult& result) override;
    void RunEnded(const RunEnd& end) override;
    void StopFailed() override;
    // Files a watched folder found start as a drop does.
    void WatchQueued(WatchId id, std::int32_t count) override;

    // A drop or the like while no run is active begins a new batch.
    void BeginBatch();
    void StartRun();
    // Paths queued to wait for the user's start.
    void QueueWaiting(std::span<const std::string> paths);
    // The question about the files that arrived since it was last asked.
    void AskAboutArrivals();
    // The status strip, the queue's progress on the desktop, the sleep lock and the stops of
    // the Settings menu, after a change of the run or a tick.
    void ShowRunState();
    void UpdateFailureWindow();
    // The notification of a run's end and what the user chose to follow a queue done.
    void TellRunEnd(const RunEnd& end);
    void Message(std::string_view text);
    Language TextLanguage() const;

    Engine& engine_;
    QWidget& window_;
    WindowControls& controls_;
    RunSettingsMenu& runMenu_;
    DesktopSession& desktop_;
    std::shared_ptr<MessageSink> messages_;
    std::unique_ptr<QueueEndAction> queueEnd_;
    std::unique_ptr<DropWalk> drops_;          // goes first: it calls the presenter
    ProgressDelegate* progress_;               // the window's child
    TFailureWindow* failureWindow_ = nullptr;  // the window's child, made when first opened
    RunReport report_;
    // Why the jobs in the list wait while no run is active.
    enum class Waiting { No, ForCommand, ForStart };
    Waiting waiting_ = Waiting::No;
    // Files from outside: jobs queued for the question, paths kept aside during a run (for
    // the question, then until the run's end), and whether the question is due or open.
    std::int32_t arrivedJobs_ = 0;
    std::vector<std::string> arrivedAside_;
    std::vector<std::string> afterRun_;
    bool questionDue_ = false;
    bool asking_ = false;
    bool dropStarted_ = false;  // the drop being walked has started the run
    // A run that converted every job there was while a drop was still being walked: the rest
    // of the drop starts it again, and its end is told only once no file of the drop follows.
    std::optional<RunEnd> endDuringDrop_;
    CloseMode closeMode_ = CloseMode::None;
};

}  // namespace palomix
