#include <windows.h>

#include "platform/StandardStreams.h"

namespace palomix {

namespace {

bool Missing(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
}

}  // namespace

ClosedStandardStreams HoldClosedStandardStreams() {
    return ClosedStandardStreams{Missing(STD_INPUT_HANDLE), Missing(STD_OUTPUT_HANDLE),
                                 Missing(STD_ERROR_HANDLE)};
}

}  // namespace palomix
