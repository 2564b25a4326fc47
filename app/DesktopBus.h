// The desktop of a Linux session over D-Bus: notifications through the freedesktop
// notification service on the session bus, the sleep inhibitor, suspend and power-off through
// systemd-logind on the system bus, and the queue's progress on the launcher entry
// (the Unity launcher API, also read by KDE and Dash to Dock). Each bus is connected the first
// time it is needed; without a bus or a service the request is passed over.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <memory>

#include "app/DesktopSession.h"

namespace palomix {

// The buses to use: empty for the user's session bus and the system bus; else the address
// of a bus ("unix:path=..."), which a test starts on its own.
struct DesktopBusAddresses {
    QString session;
    QString system;
};

// A connection to one bus, made when first asked for and closed with the object when it is
// a bus of its own.
class BusLink {
public:
    enum class Kind { Session, System };
    BusLink(Kind kind, QString address);
    ~BusLink();
    BusLink(const BusLink&) = delete;
    BusLink& operator=(const BusLink&) = delete;

    // The connection; check isConnected().
    QDBusConnection Connection();

private:
    Kind kind_;
    QString address_;
    QString name_;  // of a connection to an address, once made
};

std::unique_ptr<DesktopSession> DBusDesktopSession(const DesktopBusAddresses& addresses);

}  // namespace palomix
