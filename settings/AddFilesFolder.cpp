#include "settings/AddFilesFolder.h"

#include <stdexcept>
#include <string_view>

#include "platform/TextCodec.h"

namespace palomix {

namespace {

constexpr std::string_view kSection = "ADD";
constexpr std::string_view kKey = "FOLDER";

}  // namespace

std::optional<std::string> ReadAddFilesFolder(IniReader& reader, const std::string& stateFile) {
    const std::shared_ptr<const IniDocument> document = reader.TryDocument(stateFile);
    if (!document) {
        return std::nullopt;
    }
    const std::optional<IniValue> value = document->FindValue(kSection, kKey);
    if (!value || value->cut || value->text.empty()) {
        return std::nullopt;
    }
    return value->text;
}

bool SaveAddFilesFolder(const std::string& stateFile, const std::string& folder) {
    if (folder.empty() || folder.size() > kMaxIniValueBytes || !IsValidUtf8(folder)) {
        return false;
    }
    try {
        return WriteIniStrings(stateFile, kSection, {{std::string(kKey), folder}}).empty();
    } catch (const std::exception&) {
        return false;  // IniWriteError, or a name the writer refuses
    }
}

}  // namespace palomix
