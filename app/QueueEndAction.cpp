#include "app/QueueEndAction.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Captions.h"
#include "app/QtText.h"

namespace palomix {

namespace {

// Jobs that could not start stay in the list: they ended nothing.
bool JobsEnded(const RunTally& tally) {
    return tally.done + tally.failed + tally.stopped + tally.skipped > 0;
}

}  // namespace

std::optional<RunEndNotice> NoticeOfRunEnd(RunEndReason reason, const RunTally& tally,
                                           std::string body, const RunOptionTexts& texts) {
    std::string_view title;
    switch (reason) {
        case RunEndReason::QueueEmpty:
            if (!JobsEnded(tally)) {
                return std::nullopt;
            }
            title = texts.noticeDone;
            break;
        case RunEndReason::Interrupted:
        case RunEndReason::FinishedEarly:
            if (!JobsEnded(tally)) {
                return std::nullopt;
            }
            title = texts.noticeStopped;
            break;
        case RunEndReason::LaunchFailed:
        case RunEndReason::OutputFolderUnusable:
            title = texts.noticeCutShort;
            break;
        case RunEndReason::NothingSelected:
            return std::nullopt;
    }
    return RunEndNotice{std::string(title), std::move(body)};
}

bool QueueDoneActionFollows(RunEndReason reason, const RunTally& tally) {
    return reason == RunEndReason::QueueEmpty && JobsEnded(tally);
}

TPowerCountdown::TPowerCountdown(QWidget* parent, std::string_view format,
                                 std::string_view cancelCaption, int seconds)
    : QDialog(parent),
      format_(format),
      secondsLeft_(seconds),
      text_(new QLabel(this)),
      cancel_(new QPushButton(Q(cancelCaption), this)),
      timer_(new QTimer(this)) {
    setWindowTitle(QCoreApplication::applicationName());
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
    connect(this, &QDialog::finished, timer_, &QTimer::stop);
    timer_->start();
    ShowSecondsLeft();
}

QString TPowerCountdown::Text() const {
    return text_->text();
}

void TPowerCountdown::ShowSecondsLeft() {
    text_->setText(Q(FillIn(format_, "{seconds}", std::to_string(secondsLeft_))));
}

void TPowerCountdown::Tick() {
    secondsLeft_ = std::max(secondsLeft_ - 1, 0);
    ShowSecondsLeft();
    if (secondsLeft_ == 0) {
        timer_->stop();
        accept();
        if (OnZero) {
            OnZero();
        }
    }
}

QueueEndAction::QueueEndAction(QWidget& window, DesktopSession& desktop,
                               std::shared_ptr<MessageSink> messages, int countdownSeconds)
    : window_(window),
      desktop_(desktop),
      messages_(std::move(messages)),
      countdownSeconds_(countdownSeconds) {}

QueueEndAction::~QueueEndAction() {
    CallOff();
}

void QueueEndAction::QueueDone(QueueDoneAction action, const RunOptionTexts& texts,
                               const std::function<void()>& quit) {
    switch (action) {
        case QueueDoneAction::Nothing:
            return;
        case QueueDoneAction::Sound:
            QApplication::beep();
            return;
        case QueueDoneAction::Quit:
            quit();
            return;
        case QueueDoneAction::Suspend:
        case QueueDoneAction::ShutDown:
            break;
    }
    CallOff();
    const PowerAction power =
        action == QueueDoneAction::Suspend ? PowerAction::Suspend : PowerAction::ShutDown;
    countdown_ = new TPowerCountdown(&window_,
                                     power == PowerAction::Suspend ? texts.suspendCountdownFormat
                                                                   : texts.shutDownCountdownFormat,
                                     texts.countdownCancel, countdownSeconds_);
    connect(countdown_, &QDialog::finished, countdown_, &QObject::deleteLater);
    const std::string failedFormat(power == PowerAction::Suspend ? texts.suspendFailedFormat
                                                                 : texts.shutDownFailedFormat);
    countdown_->OnZero = [this, power, failedFormat] {
        desktop_.Power(power, [messages = messages_, window = QPointer<QWidget>(&window_),
                               failedFormat](const std::string& reason) {
            messages->ShowMessage(window, Q(FillIn(failedFormat, "{reason}", reason)));
        });
    };
    countdown_->show();
}

void QueueEndAction::CallOff() {
    if (countdown_) {
        countdown_->reject();
    }
}

}  // namespace palomix
