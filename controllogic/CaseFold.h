// Letter case folded as the file systems that ignore it fold it (FAT and NTFS compare names in
// upper case): the letters of the common alphabets that have an upper-case form (Latin with its
// accented letters, Greek, Cyrillic, full-width Latin). Used where names that differ only in
// case are the same name: the folder search's patterns, and the names of a run's outputs.
#pragma once

#include <string>
#include <string_view>

namespace palomix {

// The upper-case form of a letter that has one; any other character as it is.
char32_t FoldCharacter(char32_t c);

// The UTF-8 text with every letter folded (into `out`, whose memory is reused); bytes that are
// no UTF-8 stay as they are.
void FoldCase(std::string_view text, std::string& out);

}  // namespace palomix
