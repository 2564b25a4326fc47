#include "app/LauncherProgress.h"

#include <QDBusMessage>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace palomix {

void LauncherProgress::Show(std::optional<double> share) {
    std::optional<int> percent;
    if (share && std::isfinite(*share)) {  // a share that is no number shows none
        percent = static_cast<int>(std::floor(std::clamp(*share, 0.0, 1.0) * 100));
    }
    if (percent == shown_) {
        return;
    }
    QDBusConnection bus = session_.Connection();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/com/canonical/unity/launcherentry/palomix"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    const QVariantMap properties{
        {QStringLiteral("progress"), percent.value_or(0) / 100.0},
        {QStringLiteral("progress-visible"), percent.has_value()},
    };
    update << QStringLiteral("application://palomix.desktop") << properties;
    if (bus.send(update)) {
        shown_ = percent;
    }
}

}  // namespace palomix
