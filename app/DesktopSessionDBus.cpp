// The desktop of a Linux session: the D-Bus services of DesktopBus.h.
#include <QObject>

#include "app/DesktopBus.h"
#include "app/DesktopNotifier.h"
#include "app/LauncherProgress.h"
#include "app/PowerRequest.h"
#include "app/QtText.h"
#include "app/SleepInhibitor.h"

namespace palomix {

namespace {

class DBusSession final : public DesktopSession {
public:
    explicit DBusSession(const DesktopBusAddresses& addresses)
        : session_(BusLink::Kind::Session, addresses.session),
          system_(BusLink::Kind::System, addresses.system) {}

    void Notify(const std::string& title, const std::string& body) override {
        notifier_.Notify(Q(title), Q(body));
    }
    void KeepAwake(bool on) override { inhibitor_.Hold(on); }
    void ShowProgress(std::optional<double> share) override { launcher_.Show(share); }
    void Power(PowerAction action, std::function<void(const std::string&)> failed) override {
        RequestPower(system_, action, context_, std::move(failed));
    }

private:
    BusLink session_;
    BusLink system_;
    QObject context_;  // of the answers still to come
    DesktopNotifier notifier_{session_};
    SleepInhibitor inhibitor_{system_};
    LauncherProgress launcher_{session_};
};

}  // namespace

std::unique_ptr<DesktopSession> DBusDesktopSession(const DesktopBusAddresses& addresses) {
    return std::make_unique<DBusSession>(addresses);
}

std::unique_ptr<DesktopSession> SystemDesktopSession(QWidget& /*window*/) {
    return DBusDesktopSession({});
}

}  // namespace palomix
