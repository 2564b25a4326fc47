#include "settings/Language.h"

namespace palomix {

std::optional<Language> LanguageOfLocale(std::string_view locale) {
    // The language is the name's part before its territory, code set or modifier.
    const std::string_view language = locale.substr(0, locale.find_first_of("_-.@"));
    if (language.empty() || language == "C" || language == "POSIX") {
        return std::nullopt;
    }
    // "japanese" is the C library's old alias of ja_JP.
    return language == "ja" || language == "japanese" ? Language::Japanese : Language::English;
}

Language DefaultLanguage(std::string_view systemLocale) {
    return LanguageOfLocale(systemLocale).value_or(Language::Japanese);
}

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
