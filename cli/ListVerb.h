// --list: the settings files and the command list of each, as tab-separated lines.
#pragma once

#include <ostream>

#include "engine/Engine.h"

namespace palomix {

// For each settings file k: "k<TAB>file name<TAB>title<TAB>description<TAB>full path", then
// for each row r of its command list "<TAB>r<TAB>item number<TAB>title". Texts are printed
// without the double quotes that enclose them in the selectors.
void PrintCatalogue(Engine& engine, Language language, std::ostream& out);

}  // namespace palomix
