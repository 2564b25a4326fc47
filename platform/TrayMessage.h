// A message from the notification area (Windows: an icon of the program's added with
// Shell_NotifyIcon and its balloon, which newer Windows shows as a notification). The icon
// stays until the object goes, so that the message is not taken away with it. Elsewhere
// there is none; the Linux desktop's notifications go over D-Bus from the window.
#pragma once

#include <memory>
#include <string_view>

#include "platform/NativeWindow.h"

namespace palomix {

class TrayMessage {
public:
    explicit TrayMessage(NativeWindowHandle window);
    ~TrayMessage();
    TrayMessage(const TrayMessage&) = delete;
    TrayMessage& operator=(const TrayMessage&) = delete;

    // Shows the title and text (UTF-8); false when the system would not.
    bool Show(std::string_view title, std::string_view text);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace palomix
