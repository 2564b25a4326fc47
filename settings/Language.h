// The two languages of the interface. The window holds the current language as the check
// marks of its Japanese and English menu items; the core takes it as a value.
#pragma once

#include <optional>
#include <string_view>

namespace palomix {

enum class Language { Japanese, English };

// The check marks of the two language menu items, read Japanese first, then English; with
// neither checked there is no current language.
struct LanguageMarks {
    bool japanese = true;  // B1
    bool english = false;  // B2

    std::optional<Language> Current() const {
        if (japanese) {
            return Language::Japanese;
        }
        if (english) {
            return Language::English;
        }
        return std::nullopt;
    }
};

// The language a system's locale name speaks (platform/SystemLocale.h): Japanese for "ja" and
// its regional forms ("ja_JP.UTF-8", "ja-JP", "ja_JP@euro"); nullopt where the name tells no
// language ("", "C", "POSIX", "C.UTF-8"); English for any other.
std::optional<Language> LanguageOfLocale(std::string_view locale);

// The language a start without a choice of the user's comes up in: the system's, and Japanese
// where the system's cannot be told.
Language DefaultLanguage(std::string_view systemLocale);

// "ja" or "en" (as written on a command line); nullopt for anything else.
std::optional<Language> LanguageFromCode(std::string_view code);
std::string_view LanguageCode(Language language);

}  // namespace palomix
