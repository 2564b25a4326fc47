#include "app/PowerRequest.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace palomix {

void RequestPower(BusLink& system, PowerAction action, QObject& context,
                  std::function<void(const std::string&)> failed) {
    QDBusConnection bus = system.Connection();
    if (!bus.isConnected()) {
        const QString reason = bus.lastError().message();
        failed(reason.isEmpty() ? std::string("no system bus") : reason.toStdString());
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"),
        action == PowerAction::Suspend ? QStringLiteral("Suspend") : QStringLiteral("PowerOff"));
    call << false;  // not interactive
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), &context);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, &context,
        [failed = std::move(failed)](QDBusPendingCallWatcher* answer) {
            answer->deleteLater();
            const QDBusPendingReply<> reply = *answer;
            if (reply.isError()) {
                const QDBusError error = reply.error();
                failed((error.message().isEmpty() ? error.name() : error.message()).toStdString());
            }
        });
}

}  // namespace palomix
