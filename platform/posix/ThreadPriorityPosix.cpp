#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace palomix {

void GiveWayToOtherThreads() {
#ifdef __linux__
    // On Linux a thread has a niceness of its own, set through its thread id.
    constexpr int kBackgroundNiceness = 10;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kBackgroundNiceness);
#endif
}

}  // namespace palomix
