#include "settings/Language.h"

namespace palomix {

std::optional<Language> LanguageFromCode(std::string_view code) {
    if (code == "ja") {
        return Language::Japanese;
    }
    if (code == "en") {
        return Language::English;
    }
    return std::nullopt;
}

std::string_view LanguageCode(Language language) {
    return language == Language::Japanese ? "ja" : "en";
}

}  // namespace palomix
