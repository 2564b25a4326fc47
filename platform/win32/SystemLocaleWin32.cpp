#include <windows.h>

#include "platform/SystemLocale.h"
#include "platform/win32/WideText.h"

namespace palomix {

std::string SystemLocaleName() {
    // The language the user reads Windows in, not the formats of dates and numbers.
    const LANGID language = GetUserDefaultUILanguage();
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) == 0) {
        return {};
    }
    return win32::FromWide(name);
}

}  // namespace palomix
