// The language the user's system speaks to the user, as the system names it, for a program
// that decides its own language at its first start.
//
// POSIX: the locale of messages, the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty, as the C library picks it ("ja_JP.UTF-8", "en_US", "C"). Windows: the user's display
// language ("ja-JP", "en-US").
#pragma once

#include <string>

namespace palomix {

// The locale name; empty when the system names none.
std::string SystemLocaleName();

}  // namespace palomix
