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

std::vector<ProgramCandidate> ProgramCandidates(std::string_view commandLine) {
    const std::size_t start = SkipSeparators(commandLine, 0);
    const std::string_view line = commandLine.substr(start);
    if (line.empty()) {
        return {};
    }

    // The first token, read as a program name is read: quotes toggle and are dropped,
    // backslashes are plain characters.
    std::string token;
    bool quoted = false;
    bool hasQuote = false;
    std::size_t end = 0;
    for (; end < line.size(); ++end) {
        const char c = line[end];
        if (c == '"') {
            quoted = !quoted;
            hasQuote = true;
        } else if (!quoted && IsArgumentSeparator(c)) {
            break;
        } else {
            token += c;
        }
    }
    if (hasQuote) {
        return {ProgramCandidate{std::move(token), line.substr(end)}};
    }

    // Unquoted: every prefix that ends before a blank (or at the end of the line) is tried,
    // up to the first double quote.
    std::vector<ProgramCandidate> candidates;
    for (std::size_t i = 1; i <= line.size(); ++i) {
        if (line[i - 1] == '"') {
            break;
        }
        const bool endsHere = i == line.size() || IsArgumentSeparator(line[i]);
        if (endsHere && !IsArgumentSeparator(line[i - 1])) {
            candidates.push_back(ProgramCandidate{std::string(line.substr(0, i)), line.substr(i)});
        }
    }
    return candidates;
}

std::string QuoteArgument(std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string_view::npos) {
        return std::string(argument);
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // The backslashes before a quote are doubled, and one more escapes the quote.
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    // The backslashes before the closing quote are doubled so that it still closes.
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

}  // namespace palomix
