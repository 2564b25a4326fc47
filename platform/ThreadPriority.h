// The priority of the calling thread among the program's own.
#pragma once

namespace palomix {

// Lets the calling thread give way to the program's other threads and to the user's other
// programs: for work done in the background of a window (writing the kept queue), which must
// not take turns from the window or from a drop's walk on a machine with few cores. It still
// runs whenever the machine has time to spare. Nothing happens where the system refuses.
void GiveWayToOtherThreads();

}  // namespace palomix
