#include "app/DesktopNotifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace palomix {

void DesktopNotifier::Notify(const QString& title, const QString& body) {
    QDBusConnection bus = session_.Connection();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The desktop entry lets the service show the program's name and icon and group its notices.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("palomix")}};
    call << QStringLiteral("Palomix") << 0U << QStringLiteral("palomix") << title << body
         << QStringList() << hints << -1;
    bus.send(call);
}

}  // namespace palomix
