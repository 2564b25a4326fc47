#include "platform/TrayMessage.h"

namespace palomix {

struct TrayMessage::State {};

TrayMessage::TrayMessage(NativeWindowHandle /*window*/) {}

TrayMessage::~TrayMessage() = default;

bool TrayMessage::Show(std::string_view /*title*/, std::string_view /*text*/) {
    return false;
}

}  // namespace palomix
