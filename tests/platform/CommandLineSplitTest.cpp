#include "platform/CommandLineSplit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace palomix {
namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    std::string text;
    Args arguments;
};

TEST(SplitArgumentsTest, FollowsTheWindowsCRuntimeRules) {
    const std::vector<SplitCase> cases = {
        {"", {}},
        {" \t  ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"  a   b  ", {"a", "b"}},  // leading, repeated and trailing blanks
        {"\"abc\" d e", {"abc", "d", "e"}},
        {"\"a b\"c d", {"a bc", "d"}},  // quoting ends mid-argument
        {"x\"a b\"", {"xa b"}},
        {"\"\"", {""}},  // an empty argument
        {"a \"\" b", {"a", "", "b"}},
        {"\"a\tb\"", {"a\tb"}},
        {"\"unterminated quote", {"unterminated quote"}},
        // backslashes are literal unless a quote follows
        {R"(a\\b d"e f"g h)", {R"(a\\b)", "de fg", "h"}},
        {R"(C:\Program Files\x)", {R"(C:\Program)", R"(Files\x)"}},
        {R"(a\")", {"a\""}},                       // 1 backslash + quote: literal quote
        {R"(a\\"b c")", {R"(a\b c)"}},             // 2 backslashes + quote: one backslash, toggle
        {R"(a\\\"b c d)", {R"(a\"b)", "c", "d"}},  // 3: one backslash and a literal quote
        {R"(a\\\\"b c" d e)", {R"(a\\b c)", "d", "e"}},
        {R"("C:\out dir\\")", {R"(C:\out dir\)"}},  // quoted folder with a trailing backslash
        {R"("C:\out dir\" next)", {R"(C:\out dir" next)"}},
        // "" inside quotes is one quote and quoting goes on
        {R"(a"b"" c d)", {R"(ab" c d)"}},
        {R"("a""b")", {R"(a"b)"}},
        {R"("""")", {"\""}},
        {R"("""" x)", {"\"", "x"}},
        {"日本語 \"ファイル 名.mp4\"", {"日本語", "ファイル 名.mp4"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(SplitArguments(c.text), c.arguments) << "text: [" << c.text << "]";
    }
}

TEST(ProgramCandidatesTest, QuotedProgramIsTheOnlyCandidate) {
    const std::string line = R"("C:\My Tools\ffmpeg.exe" -i "in put.avi")";
    const auto candidates = ProgramCandidates(line);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].program, R"(C:\My Tools\ffmpeg.exe)");
    EXPECT_EQ(candidates[0].rest, R"( -i "in put.avi")");

    // Backslashes before the closing quote stay as they are.
    EXPECT_EQ(ProgramCandidates(R"("C:\dir\" x)")[0].program, R"(C:\dir\)");
    EXPECT_EQ(ProgramCandidates(R"("C:\dir\" x)")[0].rest, " x");
    EXPECT_EQ(ProgramCandidates("\"\" x")[0].program, "");
}

TEST(ProgramCandidatesTest, UnquotedProgramIsTriedAtEachBlankShortestFirst) {
    const auto candidates = ProgramCandidates("/opt/my tools/conv  -i \"a b\" out");
    const std::vector<ProgramCandidate> expected = {
        {"/opt/my", " tools/conv  -i \"a b\" out"},
        {"/opt/my tools/conv", "  -i \"a b\" out"},
        {"/opt/my tools/conv  -i", " \"a b\" out"},  // stops before the first quote
    };
    EXPECT_EQ(candidates, expected);

    const std::vector<ProgramCandidate> whole = {{"a", " b\tc "}, {"a b", "\tc "}, {"a b\tc", " "}};
    EXPECT_EQ(ProgramCandidates("a b\tc "), whole);
    const std::vector<ProgramCandidate> single = {{"ffmpeg", ""}};
    EXPECT_EQ(ProgramCandidates("ffmpeg"), single);
    // A quote right after a word: that word is no candidate, its quote belongs to it.
    const std::vector<ProgramCandidate> glued = {{"a", " b\"c\""}};
    EXPECT_EQ(ProgramCandidates("a b\"c\""), glued);
}

// The program as CreateProcessW reads it, and the arguments the program's C runtime sees
// after its argument 0 (which may differ from the program's name).
TEST(ProgramCandidatesTest, FirstTokenIsReadAsWindowsReadsIt) {
    struct Case {
        std::string line;
        std::vector<std::string> programs;  // the candidates, in order
        Args arguments;                     // of the first candidate's rest
    };
    const std::vector<Case> cases = {
        // Quoted: the program ends at the next quote, argument 0 at the next blank.
        {R"("a b"c d)", {"a b"}, {"d"}},
        {R"("C:\x\ffmpeg.exe"-y -i in)", {R"(C:\x\ffmpeg.exe)"}, {"-i", "in"}},
        {R"("a"b" c" d)", {"a"}, {"d"}},
        {R"("prog\" a b)", {R"(prog\)"}, {"a", "b"}},  // no escape in a program name
        {R"("never closed a b)", {"never closed a b"}, {}},
        {"\"\"", {""}, {}},
        // Unquoted: a quote is part of the name, which no Windows file has.
        {R"(ab\"c d)", {R"(ab\"c)"}, {"d"}},
        {R"(x ab\"c d)", {"x"}, {R"(ab"c)", "d"}},
        // Nothing is skipped: a leading blank is part of every candidate.
        {" prog a", {" prog", " prog a"}, {"a"}},
        {"\tprog", {"\tprog"}, {}},
        {R"(C:\Program Files\P\ffmpeg.exe -y "o u t")",
         {R"(C:\Program)", R"(C:\Program Files\P\ffmpeg.exe)",
          R"(C:\Program Files\P\ffmpeg.exe -y)"},
         {R"(Files\P\ffmpeg.exe)", "-y", "o u t"}},
    };
    for (const Case& c : cases) {
        const std::vector<ProgramCandidate> candidates = ProgramCandidates(c.line);
        std::vector<std::string> programs;
        for (const ProgramCandidate& candidate : candidates) {
            programs.emplace_back(candidate.program);
        }
        EXPECT_EQ(programs, c.programs) << "line: [" << c.line << "]";
        if (!candidates.empty()) {
            EXPECT_EQ(SplitArguments(candidates.front().rest), c.arguments)
                << "line: [" << c.line << "]";
        }
    }
}

TEST(ProgramCandidatesTest, EmptyLineHasNone) {
    EXPECT_TRUE(ProgramCandidates("").empty());
    EXPECT_TRUE(ProgramCandidates(" \t ").empty());
}

TEST(JoinEscapedTest, ValuesComeBackWholeAndTheTextKeepsItsMeaning) {
    // Adjacent values of backslashes before the text's closing quote.
    EXPECT_EQ(SplitArguments(JoinEscaped({{"p \""}, {R"(a\)", true}, {R"(\\)", true}, {"\""}})),
              (Args{"p", R"(a\\\)"}));
    // The text's own backslashes: before its own quote they escape it; a value between them
    // and the quote makes them literal.
    EXPECT_EQ(SplitArguments(JoinEscaped({{R"(\")"}, {"v", true}})), (Args{R"("v)"}));
    EXPECT_EQ(SplitArguments(JoinEscaped({{R"("\)"}, {R"(\)", true}, {R"(")"}})), (Args{R"(\\)"}));
    // A value's quote is literal, even after the text's backslashes.
    EXPECT_EQ(SplitArguments(JoinEscaped({{R"(\)"}, {R"(")", true}, {" x"}})),
              (Args{R"(\")", "x"}));
}

TEST(QuoteArgumentTest, SplitReadsTheQuotedTextBackAsOneArgument) {
    const std::vector<std::string> arguments = {
        "plain",       "",
        "with blank",  "tab\there",
        R"(say "hi")", R"(C:\out dir\)",
        R"(C:\a\\"b)", R"(\\)",
        R"(")",        "x $(touch y); z 'q' 日本語",
    };
    for (const std::string& argument : arguments) {
        EXPECT_EQ(SplitArguments(QuoteArgument(argument)), Args{argument}) << argument;
    }
    EXPECT_EQ(QuoteArgument("plain"), "plain");
    EXPECT_EQ(QuoteArgument(R"(C:\out dir\)"), R"("C:\out dir\\")");
}

}  // namespace
}  // namespace palomix
