// A helper program of Palomix that must not outlive the program that started it, however that
// one ends (killed included).
#pragma once

namespace palomix {

// Has the system end this process when its parent ends (Linux: the parent-death signal).
// Elsewhere nothing: there the helper ends when its standard input reaches its end.
void EndWithParent();

}  // namespace palomix
