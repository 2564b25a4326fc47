// --list: the settings catalogue and the command list of every file, as tab-separated lines.
#pragma once

#include <optional>
#include <ostream>

#include "settings/Language.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

// For each settings file k: "k<TAB>file name<TAB>title<TAB>description<TAB>full path", then
// for each row r of its command list "<TAB>r<TAB>item number<TAB>title". Texts are printed
// without the double quotes that enclose them in the selectors.
void PrintCatalogue(const SettingsCatalogue& catalogue, IniReader& reader, Language language,
                    std::ostream& out);

}  // namespace palomix
