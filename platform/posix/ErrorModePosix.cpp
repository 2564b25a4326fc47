#include "platform/ErrorMode.h"

namespace palomix {

void SuppressCriticalErrorDialogs() {
    // POSIX systems show no dialogs of their own for failed file-system calls.
}

}  // namespace palomix
