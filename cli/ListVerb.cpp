#include "cli/ListVerb.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/JsonText.h"
#include "cli/PrintableText.h"
#include "settings/IniFile.h"
#include "settings/SettingsCatalogue.h"

namespace palomix {

namespace {

void PrintText(const std::vector<CatalogueListing>& listing, bool terminal, std::ostream& out) {
    // Byte for byte to a file or a pipe; cleaned for a person at a terminal.
    const auto line = [&out, terminal](const std::string& text) {
        out << (terminal ? PrintableLine(text) : text + '\n');
    };
    for (std::size_t k = 0; k < listing.size(); ++k) {
        const CatalogueEntry& entry = listing[k].file;
        line(std::to_string(k) + '\t' + entry.fileName + '\t' + entry.title + '\t' +
             entry.description + '\t' + entry.path);
        const std::vector<CommandRow>& rows = listing[k].commands;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            line('\t' + std::to_string(r) + '\t' + std::to_string(rows[r].itemNumber) + '\t' +
                 rows[r].title);
        }
    }
}

std::string CommandJson(std::size_t row, const CommandRow& command,
                        const std::optional<std::vector<std::string>>& extensions) {
    return "{\"row\":" + std::to_string(row) + ",\"item\":" + std::to_string(command.itemNumber) +
           ",\"title\":" + JsonString(command.title) +
           ",\"extensions\":" + (extensions ? JsonStringArray(*extensions) : "null") + "}";
}

std::string SettingsFileJson(std::size_t index, Language language, const CatalogueListing& file,
                             const IniDocument& document) {
    const CatalogueEntry& entry = file.file;
    std::string json =
        "{\"version\":" + std::to_string(kJsonListVersion) + ",\"index\":" + std::to_string(index) +
        ",\"language\":" + JsonString(LanguageCode(language)) +
        ",\"file_name\":" + JsonString(entry.fileName) + ",\"path\":" + JsonString(entry.path) +
        ",\"title\":" + JsonString(entry.title) +
        ",\"description\":" + JsonString(entry.description) + ",\"commands\":[";
    for (std::size_t r = 0; r < file.commands.size(); ++r) {
        json += r > 0 ? "," : "";
        json += CommandJson(r, file.commands[r],
                            ReadCommandExtensions(document, file.commands[r].itemNumber));
    }
    return json + "]}";
}

}  // namespace

void PrintCatalogue(Engine& engine, Language language, ListOutput output, std::ostream& out) {
    const std::vector<CatalogueListing> listing = engine.Listing(language);
    if (output.format == OutputFormat::Text) {
        PrintText(listing, output.terminal, out);
        return;
    }
    IniReader reader;
    for (std::size_t k = 0; k < listing.size(); ++k) {
        const std::shared_ptr<const IniDocument> document = reader.Document(listing[k].file.path);
        out << SettingsFileJson(k, language, listing[k], *document) << '\n';
    }
}

}  // namespace palomix
