#include "platform/CommandLineSplit.h"

#include <cstddef>

namespace palomix {

bool IsArgumentSeparator(char c) {
    return c == ' ' || c == '\t';
}

namespace {

std::size_t SkipSeparators(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsArgumentSeparator(text[pos])) {
        ++pos;
    }
    return pos;
}

// Reads one argument that starts at `pos` (not a separator) and returns the position after it.
std::size_t ReadArgument(std::string_view text, std::size_t pos, std::string& argument) {
    bool quoted = false;
    while (pos < text.size()) {
        // A run of characters that mean only themselves goes in at once.
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\\' && text[end] != '"' &&
               (quoted || !IsArgumentSeparator(text[end]))) {
            ++end;
        }
        if (end > pos) {
            argument.append(text.substr(pos, end - pos));
            pos = end;
            continue;
        }
        std::size_t backslashes = 0;
        while (pos < text.size() && text[pos] == '\\') {
            ++backslashes;
            ++pos;
        }
        if (pos < text.size() && text[pos] == '"') {
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2 == 1) {
                argument += '"';  // an escaped quote
            } else if (quoted && pos + 1 < text.size() && text[pos + 1] == '"') {
                argument += '"';  // "" inside quotes: one quote, still quoted
                ++pos;
            } else {
                quoted = !quoted;
            }
            ++pos;
            continue;
        }
        argument.append(backslashes, '\\');
        if (pos >= text.size() || (!quoted && IsArgumentSeparator(text[pos]))) {
            break;
        }
        argument += text[pos];
        ++pos;
    }
    return pos;
}

// Where the C runtime's argument 0 ends: at the first blank or tab outside quotes, where a
// double quote toggles quoting and a backslash is a plain character.
std::size_t EndOfArgumentZero(std::string_view line) {
    bool quoted = false;
    std::size_t pos = 0;
    for (; pos < line.size(); ++pos) {
        if (line[pos] == '"') {
            quoted = !quoted;
        } else if (!quoted && IsArgumentSeparator(line[pos])) {
            break;
        }
    }
    return pos;
}

}  // namespace

std::vector<std::string> SplitArguments(std::string_view text) {
    std::vector<std::string> arguments;
    std::size_t pos = SkipSeparators(text, 0);
    while (pos < text.size()) {
        std::string argument;
        pos = SkipSeparators(text, ReadArgument(text, pos, argument));
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::vector<ProgramCandidate> ProgramCandidates(std::string_view line) {
    if (SkipSeparators(line, 0) == line.size()) {
        return {};
    }
    if (line.front() == '"') {
        const std::size_t close = line.find('"', 1);
        const std::string_view program =
            line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        return {ProgramCandidate{program, line.substr(EndOfArgumentZero(line))}};
    }

    std::vector<ProgramCandidate> candidates;
    bool hasQuote = false;
    for (std::size_t i = 1; i <= line.size(); ++i) {
        hasQuote = hasQuote || line[i - 1] == '"';
        const bool endsHere = i == line.size() || IsArgumentSeparator(line[i]);
        if (!endsHere || IsArgumentSeparator(line[i - 1])) {
            continue;
        }
        if (hasQuote && !candidates.empty()) {
            break;
        }
        candidates.push_back(ProgramCandidate{line.substr(0, i), line.substr(i)});
        if (hasQuote) {
            break;
        }
    }
    return candidates;
}

std::string JoinEscaped(const std::vector<LinePiece>& pieces) {
    std::string line;
    // Values without a backslash or a double quote need nothing: the pieces as they are.
    bool plain = true;
    std::size_t size = 0;
    for (const LinePiece& piece : pieces) {
        plain = plain && (!piece.isValue || (piece.text.find('\\') == std::string_view::npos &&
                                             piece.text.find('"') == std::string_view::npos));
        size += piece.text.size();
    }
    line.reserve(size);
    if (plain) {
        for (const LinePiece& piece : pieces) {
            line.append(piece.text);
        }
        return line;
    }
    // The run of backslashes not written yet: those meant literally (a value's, and the text's
    // own that a value followed), then the text's own since the last value character.
    std::size_t literal = 0;
    std::size_t own = 0;
    for (const LinePiece& piece : pieces) {
        for (const char c : piece.text) {
            if (c == '\\') {
                if (piece.isValue) {
                    literal += own + 1;
                    own = 0;
                } else {
                    ++own;
                }
                continue;
            }
            if (c == '"' && piece.isValue) {
                // n literal backslashes and a literal quote: 2n+1 backslashes and the quote.
                line.append(2 * (literal + own) + 1, '\\');
            } else if (c == '"') {
                // The text's own backslashes keep the meaning they have before its quote.
                line.append(2 * literal + own, '\\');
            } else {
                line.append(literal + own, '\\');
            }
            literal = 0;
            own = 0;
            line += c;
        }
    }
    line.append(literal + own, '\\');
    return line;
}

std::string QuoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(argument);
    }
    return JoinEscaped({{"\""}, {argument, true}, {"\""}});
}

}  // namespace palomix
