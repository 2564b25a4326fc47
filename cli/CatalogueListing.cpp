#include "cli/CatalogueListing.h"

#include <cstddef>

namespace palomix {

void PrintCatalogue(const SettingsCatalogue& catalogue, IniReader& reader, Language language,
                    std::ostream& out) {
    const std::vector<CatalogueEntry>& entries = catalogue.Entries();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const CatalogueEntry& entry = entries[k];
        out << k << '\t' << entry.fileName << '\t' << entry.title << '\t' << entry.description
            << '\t' << entry.path << '\n';
        const std::vector<CommandRow> rows = ReadCommandList(reader, entry.path, language);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            out << '\t' << r << '\t' << rows[r].itemNumber << '\t' << rows[r].title << '\n';
        }
    }
}

}  // namespace palomix
