// The queue's progress on the program's launcher entry: the Unity launcher API signal
// com.canonical.Unity.LauncherEntry.Update on the session bus for
// application://palomix.desktop, which docks and task managers that know it show on the
// program's icon. Sent only when what is shown changes (in whole percents).
#pragma once

#include <optional>

#include "app/DesktopBus.h"

namespace palomix {

class LauncherProgress {
public:
    explicit LauncherProgress(BusLink& session) : session_(session) {}

    // The share done, 0 to 1; nullopt takes the progress away.
    void Show(std::optional<double> share);

private:
    BusLink& session_;
    std::optional<int> shown_;  // percent shown; nullopt: none
};

}  // namespace palomix
