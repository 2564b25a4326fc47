#include <windows.h>

#include "platform/ErrorMode.h"

namespace palomix {

void SuppressCriticalErrorDialogs() {
    ::SetErrorMode(SEM_FAILCRITICALERRORS);
}

}  // namespace palomix
