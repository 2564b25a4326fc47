// Keeps the computer from sleeping while the window converts: a "sleep:idle" block lock of
// systemd-logind (org.freedesktop.login1.Manager.Inhibit on the system bus), which is the
// file descriptor logind hands out; the lock lasts while the descriptor is open. Asked for
// without waiting for the answer, once each time holding begins; released by closing the
// descriptor the moment holding ends (a lock that arrives after that is closed at once).
// Without logind nothing is held and nothing is said.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <memory>
#include <optional>

#include "app/DesktopBus.h"

namespace palomix {

class SleepInhibitor {
public:
    explicit SleepInhibitor(BusLink& system) : system_(system) {}

    // On: a lock is asked for unless one is held or asked for since holding began.
    void Hold(bool on);
    // A lock is held now.
    bool Holding() const { return lock_.has_value(); }

private:
    void Ask();

    BusLink& system_;
    bool wanted_ = false;
    bool asked_ = false;    // since holding began
    bool waiting_ = false;  // for logind's answer
    std::optional<QDBusUnixFileDescriptor> lock_;
    // The answers' watchers live in it: none reaches an inhibitor that is gone.
    std::unique_ptr<QObject> context_ = std::make_unique<QObject>();
};

}  // namespace palomix
