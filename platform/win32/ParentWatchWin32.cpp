#include "platform/ParentWatch.h"

namespace palomix {

void EndWithParent() {
    // The helper's standard input ends with the program that started it.
}

}  // namespace palomix
