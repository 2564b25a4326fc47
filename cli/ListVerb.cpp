#include "cli/ListVerb.h"

#include <cstddef>

namespace palomix {

void PrintCatalogue(Engine& engine, Language language, std::ostream& out) {
    const std::vector<CatalogueListing> listing = engine.Listing(language);
    for (std::size_t k = 0; k < listing.size(); ++k) {
        const CatalogueEntry& entry = listing[k].file;
        out << k << '\t' << entry.fileName << '\t' << entry.title << '\t' << entry.description
            << '\t' << entry.path << '\n';
        const std::vector<CommandRow>& rows = listing[k].commands;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            out << '\t' << r << '\t' << rows[r].itemNumber << '\t' << rows[r].title << '\n';
        }
    }
}

}  // namespace palomix
