// What the window asks of the desktop around it: a notification, keeping the computer awake
// while a run is active, the queue's progress on the program's launcher or task-bar button,
// and a suspend or shut-down. Each platform has its own (picked by CMake): the freedesktop
// services over D-Bus on Linux (DesktopBus.h), the system's calls on Windows. Where a service
// is missing the request is quietly passed over, except a suspend or shut-down, whose failure
// is reported.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace palomix {

enum class PowerAction { Suspend, ShutDown };

class DesktopSession {
public:
    virtual ~DesktopSession() = default;

    // A notification with a title and a body (the body may be empty).
    virtual void Notify(const std::string& title, const std::string& body) = 0;
    // On: the computer is kept from sleeping until called with off.
    virtual void KeepAwake(bool on) = 0;
    // The queue's share done, 0 to 1, on the program's button; nullopt takes it away.
    virtual void ShowProgress(std::optional<double> share) = 0;
    // Asks the system to suspend or shut down now; `failed` is called, on the window's thread,
    // with the system's reason when it cannot.
    virtual void Power(PowerAction action, std::function<void(const std::string&)> failed) = 0;
};

// The desktop of the platform the program was built for, for the given window.
std::unique_ptr<DesktopSession> SystemDesktopSession(QWidget& window);

// A desktop that is asked nothing: every request is passed over.
class QuietDesktopSession final : public DesktopSession {
public:
    void Notify(const std::string& /*title*/, const std::string& /*body*/) override {}
    void KeepAwake(bool /*on*/) override {}
    void ShowProgress(std::optional<double> /*share*/) override {}
    void Power(PowerAction /*action*/,
               std::function<void(const std::string&)> /*failed*/) override {}
};

}  // namespace palomix
