// Keeps the system from showing its own error boxes for the process (Windows: a drive
// without a medium probed while looking for players); such failures come back to the caller
// as error results instead. Nothing to do on POSIX.
#pragma once

namespace palomix {

void SuppressCriticalErrorDialogs();

}  // namespace palomix
