// Name patterns of the folder search, matched as the Windows find matches them:
// - '*' matches any run of characters, '?' one character;
// - "*.*" and "*" match every name, names without a dot included;
// - a '*' just before a '.' cannot reach past the name's last dot, and a '.' before a
//   wildcard or at the end of the pattern also matches the end of a name, so "*." matches
//   names without a dot and "*.*" names with or without one;
// - '?' at a dot or at the end of the name matches nothing, so "a?.txt" matches "a.txt";
// - letters match ignoring case (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and
//   full-width Latin letters).
// Names and patterns are UTF-8; bytes that are not valid UTF-8 match only themselves.
#pragma once

#include <string_view>
#include <vector>

namespace palomix {

class SearchFilePattern {
public:
    explicit SearchFilePattern(std::string_view pattern);

    // True when every name matches, so a caller can skip the test.
    bool MatchesAll() const { return matchesAll_; }
    bool Matches(std::string_view name) const;

private:
    std::vector<char32_t> pattern_;  // folded characters and wildcard codes
    bool matchesAll_ = false;
    // Scratch space reused between calls (the pattern is used by one search at a time).
    mutable std::vector<char32_t> name_;
    mutable std::vector<unsigned char> table_;
};

}  // namespace palomix
