#include "platform/TaskbarProgress.h"

namespace palomix {

struct TaskbarProgress::State {};

TaskbarProgress::TaskbarProgress(NativeWindowHandle /*window*/) {}

TaskbarProgress::~TaskbarProgress() = default;

bool TaskbarProgress::Show(std::optional<double> /*share*/) {
    return false;
}

}  // namespace palomix
