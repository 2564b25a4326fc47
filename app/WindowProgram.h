// The window program from its start to its end, as `palomix` runs it: one instance per user (a
// later start hands its paths to the window that runs and ends at once), the window with the
// paths of the command line, the hand-over server, and the watch that turns logout, shutdown,
// a terminate or hang-up signal and Ctrl-C into the window's orderly close (which keeps the
// queue). Exit code 0 on every path.
#pragma once

#include "app/MainForm1.h"

namespace palomix {

// Runs the program with the command line given (options already answered: WindowOptions.h)
// and the window's environment (the real one when left empty).
int RunWindowProgram(int argc, char* argv[], MainFormEnvironment environment = {});

}  // namespace palomix
