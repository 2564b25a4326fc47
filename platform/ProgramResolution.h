// The one rule for the program a command line starts, used by the launcher that starts it, by
// the planner whose plans the check, the dry run and the run read, and so by all of them alike.
//
// The line is read as Windows reads it (platform/CommandLineSplit.h): a quoted program is the
// text up to the next quote; an unquoted one is tried at each blank, shortest first, and the
// first reading that names a program is taken. That rule is a hazard where a folder of the path
// has a blank in its name: with "/opt/Program Files/cores/ffmpeg -i ..." unquoted, a stray
// program "/opt/Program" is found before the converter and would get "Files/cores/ffmpeg -i ..."
// as its arguments. So the reading found is compared with the program the line's text names as
// a whole: the first word when it is a path (it holds a separator), and each following word that
// goes on with that path (it holds a separator, and starts with neither a separator, a drive nor
// a '-'). A reading shorter than that, or one with a longer reading that names a program too
// (tried up to the first option or quote), is ambiguous: it is not started, and the caller says
// why.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace palomix {

// Finds the program a reading names as the system finds programs; empty when it names none.
// Only readings that can name a file on Windows are asked about: not empty, no double quote, no
// blank or tab at the start.
using ProgramLookup = std::function<std::string(const std::string& reading)>;

struct ResolvedProgram {
    std::string program;    // as found
    std::string_view rest;  // the text after its reading, in the line
    std::string reading;    // the start of the line it was found by
    // Set when the program found is not the one the line's text names as a whole: that longer
    // reading (which may or may not name a program itself).
    std::string meant;
    // How much of the line the answer depends on: any line that begins with the same
    // `decidedBy` bytes starts the same program with the same reading (npos: the whole line).
    std::size_t decidedBy = std::string_view::npos;

    bool Ambiguous() const { return !meant.empty(); }
};

// The program `commandLine` starts by the rule above; nullopt when no reading names one.
std::optional<ResolvedProgram> ResolveProgram(std::string_view commandLine,
                                              const ProgramLookup& find);

}  // namespace palomix
