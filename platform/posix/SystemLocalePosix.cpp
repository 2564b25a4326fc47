#include <cstdlib>

#include "platform/SystemLocale.h"

namespace palomix {

std::string SystemLocaleName() {
    // The order in which the C library looks for the locale of messages.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return {};
}

}  // namespace palomix
