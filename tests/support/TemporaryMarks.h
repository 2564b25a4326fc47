// The mark a run puts before the name of every file it writes until its job is done
// (".palomix-", six random letters or digits, "-"; "old-" after it for a file set aside), for
// tests that compare what a run started with what was planned, or look for files left behind.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace palomix::testing {

inline const std::regex& TemporaryMark() {
    static const std::regex mark(R"(\.palomix-[0-9a-z]{6}-(old-)?)");
    return mark;
}

// The text with every mark replaced by `with`: ".palomix-XXXXXX-" by default, "" for the final
// names.
inline std::string MaskTemporaryMarks(const std::string& text,
                                      const std::string& with = ".palomix-XXXXXX-") {
    return std::regex_replace(text, TemporaryMark(), with);
}

inline std::vector<std::string> MaskTemporaryMarks(std::vector<std::string> texts,
                                                   const std::string& with = ".palomix-XXXXXX-") {
    for (std::string& text : texts) {
        text = MaskTemporaryMarks(text, with);
    }
    return texts;
}

inline bool HasTemporaryMark(const std::string& name) {
    return std::regex_search(name, TemporaryMark());
}

}  // namespace palomix::testing
