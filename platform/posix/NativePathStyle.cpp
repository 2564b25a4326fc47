#include "platform/PathRules.h"

namespace palomix {

PathStyle NativePathStyle() {
    return PathStyle::Posix;
}

}  // namespace palomix
