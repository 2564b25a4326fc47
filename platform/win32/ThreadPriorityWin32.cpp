#include "platform/ThreadPriority.h"

#include <windows.h>

namespace palomix {

void GiveWayToOtherThreads() {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace palomix
