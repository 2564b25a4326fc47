// The desktop of Windows: the notification area's message, the task-bar button's progress and
// the system's power calls (platform/TrayMessage.h, TaskbarProgress.h, SystemPower.h), for the
// window's own handle.
#include <QWidget>
#include <optional>

#include "app/DesktopSession.h"
#include "platform/SystemPower.h"
#include "platform/TaskbarProgress.h"
#include "platform/TrayMessage.h"

namespace palomix {

namespace {

class WindowsSession final : public DesktopSession {
public:
    explicit WindowsSession(QWidget& window) : window_(window) {}

    void Notify(const std::string& title, const std::string& body) override {
        if (!tray_) {
            tray_ = std::make_unique<TrayMessage>(Handle());
        }
        tray_->Show(title, body);
    }
    void KeepAwake(bool on) override {
        if (!on) {
            awake_.reset();
        } else if (!awake_) {
            awake_.emplace();
        }
    }
    void ShowProgress(std::optional<double> share) override {
        if (!taskbar_) {
            if (!share) {
                return;  // nothing shown yet, nothing to take away
            }
            taskbar_ = std::make_unique<TaskbarProgress>(Handle());
        }
        taskbar_->Show(share);
    }
    void Power(PowerAction action, std::function<void(const std::string&)> failed) override {
        const std::error_code error =
            action == PowerAction::Suspend ? SuspendComputer() : ShutDownComputer();
        if (error && failed) {
            failed(error.message());
        }
    }

private:
    NativeWindowHandle Handle() const {
        return reinterpret_cast<NativeWindowHandle>(window_.winId());
    }

    QWidget& window_;
    std::unique_ptr<TrayMessage> tray_;
    std::unique_ptr<TaskbarProgress> taskbar_;
    std::optional<SleepBlock> awake_;
};

}  // namespace

std::unique_ptr<DesktopSession> SystemDesktopSession(QWidget& window) {
    return std::make_unique<WindowsSession>(window);
}

}  // namespace palomix
