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
// The program is found the way Windows finds it when a line is started with no separate
// program name (CreateProcessW), and its arguments are the ones its C runtime would see:
// - a line that starts with a double quote names the program up to the next double quote
//   (backslashes are plain characters there); the C runtime reads the program's own argument
//   0 on to the first blank or tab outside quotes, so text glued to the closing quote
//   (`"C:\x\ffmpeg.exe"-y`) belongs to argument 0 and is no argument;
// - any other line may start with a path with blanks, so it is tried at each blank or tab,
//   shortest first, until a candidate names a program; the arguments are then the text after
//   that candidate. Nothing is skipped: a line that starts with a blank names a program whose
//   name starts with one, which Windows never finds.
// ProgramCandidates lists those candidates; the launcher decides which one exists.
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
// name or path, `rest` the text after it, whose arguments SplitArguments gives. Both are views
// into the line (a long line has a reading at each blank: none of them is copied).
struct ProgramCandidate {
    std::string_view program;
    std::string_view rest;

    friend bool operator==(const ProgramCandidate&, const ProgramCandidate&) = default;
};

// The readings of the program at the start of a command line, in the order they are tried.
// A line that starts with a double quote has one candidate: the text up to the next double
// quote (to the end of the line when there is none), with `rest` the text after the C
// runtime's argument 0. Otherwise every prefix of the line that ends just before a blank or
// tab (or at the end of the line) and ends in a character that is not a blank or tab is a
// candidate, shortest first, with `rest` the text after it; a name holding a double quote
// names no file on Windows, so the list stops before the first such prefix (only a first
// candidate that holds one is kept, to be reported). An empty or all-blank line has none.
std::vector<ProgramCandidate> ProgramCandidates(std::string_view commandLine);

// A piece of a command line being put together: either text of the line, whose quotes and
// backslashes mean what the rules above make of them, or a value, which the split must give
// back character for character.
struct LinePiece {
    std::string_view text;
    bool isValue = false;
};

// The pieces joined into one line in which every value is read back exactly, wherever it
// stands (inside quotes, glued to other values). Only the characters the split treats
// specially are touched: a double quote of a value is escaped as \", and a run of backslashes
// that comes to stand before a double quote in the joined line is doubled where its
// backslashes are meant literally — all of a value's, and those of the line's own text that
// did not stand before that quote in the text itself. The run is judged on the joined line,
// so values that are adjacent, empty, or made of backslashes only come out whole.
std::string JoinEscaped(const std::vector<LinePiece>& pieces);

// The text that SplitArguments reads back as exactly `argument`: the argument as it is when it
// is not empty and holds no blank, tab or double quote, otherwise quoted and escaped by
// JoinEscaped.
std::string QuoteArgument(std::string_view argument);

}  // namespace palomix
