// --list: the settings files and the command list of each, as tab-separated lines or as JSON.
#pragma once

#include <ostream>

#include "cli/BatchOptions.h"
#include "engine/Engine.h"

namespace palomix {

// The "version" every object of the JSON list carries (as the JSON plan's, DryRunVerb.h).
inline constexpr int kJsonListVersion = 1;

// Where the list is printed and how.
struct ListOutput {
    OutputFormat format = OutputFormat::Text;
    bool terminal = false;  // standard output is a person's terminal: text lines are cleaned
};

// Text: for each settings file k "k<TAB>file name<TAB>title<TAB>description<TAB>full path",
// then for each row r of its command list "<TAB>r<TAB>item number<TAB>title". Texts are
// printed without the double quotes that enclose them in the selectors; on a terminal each
// line is made by PrintableLine.
// Json: one object per settings file and line, names and texts byte for byte (JsonText.h):
//   {"version":1,"index":K,"language":"ja"|"en","file_name":NAME,"path":PATH,"title":TEXT,
//    "description":TEXT,"commands":[{"row":R,"item":N,"title":TEXT,"extensions":[TYPE,...]
//    or null},...]}
// "row" is what --command takes; "extensions" the file types the command takes (lower case,
// without dots), null when it takes every file.
void PrintCatalogue(Engine& engine, Language language, ListOutput output, std::ostream& out);

}  // namespace palomix
