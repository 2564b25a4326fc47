#include "platform/ExecutablePath.h"

#include "platform/PathRules.h"

namespace palomix {

std::string ExecutableFolder() {
    return FolderOf(ExecutablePath(), NativePathStyle());
}

}  // namespace palomix
