#include "app/SleepInhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace palomix {

void SleepInhibitor::Hold(bool on) {
    wanted_ = on;
    if (!on) {
        lock_.reset();  // closing the descriptor releases the lock
        asked_ = false;
        return;
    }
    if (!lock_ && !asked_ && !waiting_) {
        Ask();
    }
    asked_ = true;
}

void SleepInhibitor::Ask() {
    QDBusConnection bus = system_.Connection();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Palomix")
         << QStringLiteral("Converting files") << QStringLiteral("block");
    waiting_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), context_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_.get(),
                     [this](QDBusPendingCallWatcher* answer) {
                         waiting_ = false;
                         const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *answer;
                         if (wanted_ && !reply.isError() && reply.value().isValid()) {
                             lock_ = reply.value();
                         }
                         // A lock no longer wanted closes with the answer.
                         answer->deleteLater();
                     });
}

}  // namespace palomix
