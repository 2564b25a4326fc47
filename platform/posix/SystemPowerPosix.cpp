#include "platform/SystemPower.h"

namespace palomix {

SleepBlock::SleepBlock() = default;

SleepBlock::~SleepBlock() = default;

std::error_code SuspendComputer() {
    return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code ShutDownComputer() {
    return std::make_error_code(std::errc::operation_not_supported);
}

}  // namespace palomix
