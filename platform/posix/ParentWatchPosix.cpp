#include "platform/ParentWatch.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace palomix {

void EndWithParent() {
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) {
        ::_exit(0);  // the parent ended before the signal was asked for
    }
}

}  // namespace palomix
