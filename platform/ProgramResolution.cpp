#include "platform/ProgramResolution.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/CommandLineSplit.h"

namespace palomix {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool HoldsSeparator(std::string_view word) {
    return word.find_first_of("/\\") != std::string_view::npos;
}

// Windows names no file with a double quote in it, and never finds one whose name starts
// with a blank: such a reading of the line is never a program, on any system.
bool CanNameAProgram(std::string_view reading) {
    return !reading.empty() && reading.find('"') == std::string_view::npos &&
           !IsArgumentSeparator(reading.front());
}

// The word a reading adds to the one before it: its text after the blanks that separate them.
std::string_view AddedWord(const ProgramCandidate& candidate, const ProgramCandidate* before) {
    std::string_view word = candidate.program;
    if (before != nullptr) {
        word.remove_prefix(before->program.size());
    }
    while (!word.empty() && IsArgumentSeparator(word.front())) {
        word.remove_prefix(1);
    }
    return word;
}

// A word that goes on with the path before it: a folder or file name below it, not an option,
// nor a path of its own (from the root, or from a drive).
bool GoesOnWithPath(std::string_view word) {
    const bool drive = word.size() >= 2 && word[1] == ':';
    return HoldsSeparator(word) && !IsSeparator(word.front()) && word.front() != '-' && !drive;
}

// The index of the reading the line's text names as a whole (see the header).
std::size_t WholeReading(const std::vector<ProgramCandidate>& candidates) {
    if (!HoldsSeparator(candidates.front().program)) {
        return 0;  // a name searched for, not a path
    }
    std::size_t whole = 0;
    while (whole + 1 < candidates.size() &&
           GoesOnWithPath(AddedWord(candidates[whole + 1], &candidates[whole]))) {
        ++whole;
    }
    return whole;
}

}  // namespace

std::optional<ResolvedProgram> ResolveProgram(std::string_view commandLine,
                                              const ProgramLookup& find) {
    const std::vector<ProgramCandidate> candidates = ProgramCandidates(commandLine);
    // The bytes a reading and the one after it stand on: its text and the blank that ends it
    // (a reading that ends the line: all of it, as a longer line reads on).
    const auto through = [&](std::size_t index) {
        const std::string_view rest = candidates[index].rest;
        return rest.empty() ? std::string_view::npos : commandLine.size() - rest.size() + 1;
    };
    for (std::size_t index = 0; index < candidates.size(); ++index) {
        const ProgramCandidate& candidate = candidates[index];
        if (!CanNameAProgram(candidate.program)) {
            continue;
        }
        std::string program = find(std::string(candidate.program));
        if (program.empty()) {
            continue;
        }
        ResolvedProgram resolved{
            std::move(program), candidate.rest, std::string(candidate.program), {}};
        // The words looked at for the whole reading, then for a longer one that names a
        // program: the answer stands on them and on nothing after them.
        const std::size_t whole = WholeReading(candidates);
        std::size_t lastLooked = std::max(index, whole);
        lastLooked = lastLooked + 1 < candidates.size() ? lastLooked + 1 : lastLooked;
        if (index < whole) {
            resolved.meant = candidates[whole].program;
        } else {
            // A longer reading that names a program too: the line is read one way here and
            // may be meant the other. Only the words before the first option are tried.
            for (std::size_t longer = index + 1; longer < candidates.size(); ++longer) {
                lastLooked = std::max(lastLooked, longer);
                const std::string_view word =
                    AddedWord(candidates[longer], &candidates[longer - 1]);
                if (word.starts_with('-') || !CanNameAProgram(candidates[longer].program)) {
                    break;
                }
                if (!find(std::string(candidates[longer].program)).empty()) {
                    resolved.meant = candidates[longer].program;
                    break;
                }
                lastLooked = longer + 1 < candidates.size() ? longer + 1 : longer;
            }
        }
        // A quoted program is the only reading whatever follows its argument; otherwise, when
        // every reading was looked at, a longer line could add more: the whole line.
        if (commandLine.front() == '"') {
            resolved.decidedBy = through(0);
        } else if (lastLooked + 1 < candidates.size()) {
            resolved.decidedBy = through(lastLooked);
        }
        return resolved;
    }
    return std::nullopt;
}

}  // namespace palomix
