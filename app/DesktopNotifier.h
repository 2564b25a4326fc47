// A notification through the freedesktop notification service (org.freedesktop.Notifications
// on the session bus), sent without waiting for an answer: where no service answers, nothing
// is shown and nothing else happens.
#pragma once

#include <QString>

#include "app/DesktopBus.h"

namespace palomix {

class DesktopNotifier {
public:
    explicit DesktopNotifier(BusLink& session) : session_(session) {}

    void Notify(const QString& title, const QString& body);

private:
    BusLink& session_;
};

}  // namespace palomix
