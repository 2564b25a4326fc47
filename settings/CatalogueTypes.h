// The values the settings catalogue hands out: a settings file of the catalogue, a row of a
// command list, and the command chosen for a run. Plain values, so that the core's door can
// answer with them without handing out the catalogue itself.
#pragma once

#include <string>

namespace palomix {

// One settings file of the catalogue, with the texts of the language it was loaded in.
struct CatalogueEntry {
    std::string path;         // full path (the line of ListBox1)
    std::string title;        // Info/Title or Info/TitleE
    std::string description;  // Info/Description or Info/DescriptionE (quotes replaced)
    std::string fileName;     // the path after its last separator, extension included

    // The row of MultiComboBox1: "title","description","file name" (no blanks added).
    std::string RowText() const;

    friend bool operator==(const CatalogueEntry&, const CatalogueEntry&) = default;
};

// One row of the command list.
struct CommandRow {
    std::string title;   // Item<n>/Title or Item<n>/TitleE, never empty
    int itemNumber = 0;  // n: the section every reader takes the command lines from

    // The row of MultiComboBox2: the title enclosed in double quotes.
    std::string RowText() const;

    friend bool operator==(const CommandRow&, const CommandRow&) = default;
};

// The command chosen for a run: which file and which item of it.
struct ChosenCommand {
    std::string settingsFile;
    int itemNumber = 0;

    friend bool operator==(const ChosenCommand&, const ChosenCommand&) = default;
};

// What loading the catalogue did. When the folder is missing nothing was changed and
// `message` holds the text to show, in the language asked for.
struct CatalogueLoadResult {
    bool folderMissing = false;
    std::string message;
};

}  // namespace palomix
