#include "platform/PathRules.h"

namespace palomix {

PathStyle NativePathStyle() { return PathStyle::Windows; }

}  // namespace palomix
