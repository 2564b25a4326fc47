// What follows the end of a run: the desktop notification with the batch's counts, and the
// user's choice for a queue that ran empty ("When the queue is done"): a sound, quitting, or a
// suspend or shut-down after a countdown the user can cancel.
//
// The choice follows only a queue that ran empty after converting something, which includes
// a last job ended with the Stop button; a run ended by "Stop all", by "Stop after the current
// file", by a command that could not start or by an unusable output folder is followed by the
// notification alone. A run that ended no job at all (a drop that added no file) is not told.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/DesktopSession.h"
#include "app/MessageSink.h"
#include "app/RunOptionTexts.h"
#include "app/RunReport.h"
#include "engine/EngineTypes.h"
#include "settings/StateFile.h"

class QLabel;
class QPushButton;
class QTimer;

namespace palomix {

// The notification of a run's end: a title by how the run ended, the window's status line of
// the batch as the body. Nullopt for a run that ended no job of the batch, unless a command
// could not start or the output folder could not be made (a run that found no command chosen
// is never told: the window asks for one instead).
struct RunEndNotice {
    std::string title;
    std::string body;
};
std::optional<RunEndNotice> NoticeOfRunEnd(RunEndReason reason, const RunTally& tally,
                                           std::string body, const RunOptionTexts& texts);

// True when the "When the queue is done" choice follows a run that ended so.
bool QueueDoneActionFollows(RunEndReason reason, const RunTally& tally);

// The countdown before a suspend or shut-down: the seconds left, counting down, and Cancel.
// At zero it calls OnZero and closes; Cancel, Escape or closing it calls the action off.
class TPowerCountdown final : public QDialog {
    Q_OBJECT

public:
    // `format`: the text, with "{seconds}" for the seconds left.
    TPowerCountdown(QWidget* parent, std::string_view format, std::string_view cancelCaption,
                    int seconds);

    int SecondsLeft() const { return secondsLeft_; }
    QString Text() const;
    QPushButton& CancelButton() const { return *cancel_; }

    std::function<void()> OnZero;

private:
    void Tick();
    void ShowSecondsLeft();

    std::string format_;
    int secondsLeft_;
    QLabel* text_;
    QPushButton* cancel_;
    QTimer* timer_;
};

class QueueEndAction final : public QObject {
    Q_OBJECT

public:
    QueueEndAction(QWidget& window, DesktopSession& desktop, std::shared_ptr<MessageSink> messages,
                   int countdownSeconds);
    ~QueueEndAction() override;
    QueueEndAction(const QueueEndAction&) = delete;
    QueueEndAction& operator=(const QueueEndAction&) = delete;

    // The queue ran empty: carries out the choice. `quit` closes the window.
    void QueueDone(QueueDoneAction action, const RunOptionTexts& texts,
                   const std::function<void()>& quit);
    // A new run began: an open countdown is called off.
    void CallOff();
    // The open countdown, if any.
    TPowerCountdown* Countdown() const { return countdown_; }

private:
    QWidget& window_;
    DesktopSession& desktop_;
    std::shared_ptr<MessageSink> messages_;
    int countdownSeconds_;
    QPointer<TPowerCountdown> countdown_;
};

}  // namespace palomix
