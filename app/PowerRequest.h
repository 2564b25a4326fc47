// Suspend and power-off through systemd-logind (org.freedesktop.login1.Manager.Suspend and
// PowerOff on the system bus, not interactive: no password is asked for). The answer comes
// later; a refusal or a missing logind is reported with logind's or the bus's reason.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "app/DesktopBus.h"

namespace palomix {

// `failed` runs on the calling thread, with the reason, while `context` lives.
void RequestPower(BusLink& system, PowerAction action, QObject& context,
                  std::function<void(const std::string&)> failed);

}  // namespace palomix
