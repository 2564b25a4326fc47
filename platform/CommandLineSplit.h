// How a command line of a conversion settings file is read into a program and its arguments.
//
// The command lines are written for Windows, where a program receives its command line as one
// text and its C runtime splits it into arguments. On POSIX the launcher does that splitting
// itself, with the same rules, so that a line means the same thing on both systems:
// - blanks and tabs separate arguments outside double quotes;
// - a double quote toggles quoting and is removed; `""` inside quotes gives one literal quote;
// - backslashes are literal, except before a double quote: 2n backslashes and a quote give n
//   backslashes and toggle quoting, 2n+1 backslashes and a quote give n backslashes and a
//   literal quote.
//
// The program itself is found the way Windows finds it when a line is started with no separate
// program name: a quoted first token names the program as it stands; an unquoted first token
// followed by more text may be the start of a path with blanks, so the line is tried at each
// blank, shortest first, until a candidate names a program. ProgramCandidates lists those
// candidates; the launcher decides which one exists.
//
// Pure text work on UTF-8: every character that matters here is ASCII, and no byte of a
// multi-byte UTF-8 character is ever an ASCII byte.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace palomix {

// Blank or tab: the characters that separate arguments.
bool IsArgumentSeparator(char c);

// The arguments in a text by the rules above (used for the text that follows the program).
// Leading, trailing and repeated blanks make no arguments; `""` alone is one empty argument.
std::vector<std::string> SplitArguments(std::string_view text);

// One way of reading the start of a command line as the program: `program` is the program's
// name or path, `rest` the text after it, whose arguments SplitArguments gives.
struct ProgramCandidate {
    std::string program;
    std::string_view rest;

    friend bool operator==(const ProgramCandidate&, const ProgramCandidate&) = default;
};

// The readings of the program at the start of a command line, in the order they are tried.
// Leading blanks and tabs are skipped. The first token ends at a blank or tab outside double
// quotes; when it holds a double quote it is the only candidate, with its quotes removed and
// backslashes kept as they are. Otherwise every prefix of the line that ends just before a
// blank or tab (or at the end of the line), ends in a character that is not a blank, and holds
// no double quote is a candidate, shortest first; the first of them is the first token.
// An empty or all-blank line has no candidates.
std::vector<ProgramCandidate> ProgramCandidates(std::string_view commandLine);

// The text that SplitArguments reads back as exactly `argument`: the argument as it is when it
// is not empty and holds no blank, tab or double quote, otherwise quoted, with the backslashes
// before a quote (and before the closing quote) doubled and each quote escaped.
std::string QuoteArgument(std::string_view argument);

}  // namespace palomix
