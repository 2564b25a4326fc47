// The option parser is part of the palomix-batch executable, not of a library, so its one
// source file is compiled into this test directly.
#include "cli/BatchOptions.h"

#include <gtest/gtest.h>

namespace palomix {
namespace {

TEST(BatchOptionsTest, TakesValuesAsNextArgumentOrAfterEquals) {
    const ParsedBatchOptions parsed = ParseBatchOptions(
        {"--settings", "psp.ini", "--command=3", "--output", "out dir", "--language=en", "--drive",
         "/d1", "--drive=/d2", "--dry-run", "a.mp4", "b c.avi"});
    ASSERT_TRUE(parsed.Ok()) << parsed.error;
    const BatchOptions& o = parsed.options;
    EXPECT_EQ(o.settingsFile, "psp.ini");
    EXPECT_EQ(o.commandRow, 3);
    EXPECT_EQ(o.outputFolder, "out dir");
    EXPECT_EQ(o.language, Language::English);
    EXPECT_EQ(o.driveFolders, (std::vector<std::string>{"/d1", "/d2"}));
    EXPECT_TRUE(o.dryRun);
    EXPECT_FALSE(o.list);
    EXPECT_EQ(o.paths, (std::vector<std::string>{"a.mp4", "b c.avi"}));
}

TEST(BatchOptionsTest, DefaultsAndLastValueWins) {
    const ParsedBatchOptions parsed = ParseBatchOptions(
        {"x", "--command", "1", "--command", "0", "--language", "en", "--language", "ja"});
    ASSERT_TRUE(parsed.Ok());
    EXPECT_EQ(parsed.options.commandRow, 0);
    EXPECT_EQ(parsed.options.language, Language::Japanese);
    EXPECT_FALSE(parsed.options.settingsFile);
    EXPECT_FALSE(parsed.options.outputFolder);

    const ParsedBatchOptions plain = ParseBatchOptions({"x"});
    EXPECT_EQ(plain.options.commandRow, 0);
    EXPECT_FALSE(plain.options.language);
    EXPECT_TRUE(plain.options.driveFolders.empty());
}

TEST(BatchOptionsTest, DoubleDashMakesPathsAndALoneDashStandsForStandardInputOnce) {
    const ParsedBatchOptions parsed = ParseBatchOptions({"a", "--", "--list", "-", "-x.mp4"});
    ASSERT_TRUE(parsed.Ok());
    EXPECT_FALSE(parsed.options.list);
    EXPECT_EQ(parsed.options.paths, (std::vector<std::string>{"a", "--list", "-", "-x.mp4"}));
    EXPECT_FALSE(parsed.options.nullSeparated);

    EXPECT_TRUE(ParseBatchOptions({"--null", "-"}).options.nullSeparated);
    EXPECT_EQ(ParseBatchOptions({"-", "a", "--", "-"}).error,
              "'-' (standard input) is given more than once");
}

TEST(BatchOptionsTest, JsonFormatIsForDryRunsAndLists) {
    EXPECT_EQ(ParseBatchOptions({"--dry-run", "a"}).options.format, OutputFormat::Text);
    EXPECT_EQ(ParseBatchOptions({"--format=json", "--dry-run", "a"}).options.format,
              OutputFormat::Json);
    EXPECT_EQ(ParseBatchOptions({"--format", "json", "a"}).error,
              "--format json needs --dry-run or --list");
    EXPECT_EQ(ParseBatchOptions({"--list", "--format", "json"}).options.format, OutputFormat::Json);
    EXPECT_TRUE(ParseBatchOptions({"--format", "text", "a"}).Ok());
}

TEST(BatchOptionsTest, PathsAreNeededUnlessListingOrAsking) {
    EXPECT_EQ(ParseBatchOptions({}).error, "no PATH given");
    EXPECT_EQ(ParseBatchOptions({"--dry-run"}).error, "no PATH given");
    EXPECT_TRUE(ParseBatchOptions({"--list"}).Ok());
    EXPECT_TRUE(ParseBatchOptions({"--help"}).options.help);
    EXPECT_TRUE(ParseBatchOptions({"--version"}).options.version);
}

TEST(BatchOptionsTest, RejectsMalformedCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--command", "-1", "a"},
        {"--command", "1x", "a"},
        {"--command", "+1", "a"},
        {"--command", "", "a"},
        {"--command=99999999999", "a"},
        {"--language", "fr", "a"},
        {"--language", "JA", "a"},
        {"--output"},
        {"a", "--settings"},
        {"--drive=", "a"},
        {"--list=yes"},
        {"--bogus", "a"},
        {"-x", "a"},
        {"", "a"},
        {"--dry-run", "a", "--out"},
        {"--dry-run", "--format", "xml", "a"},
        {"--dry-run", "--format", "JSON", "a"},
        {"--null=1", "a"},
    };
    for (const auto& arguments : bad) {
        const ParsedBatchOptions parsed = ParseBatchOptions(arguments);
        EXPECT_FALSE(parsed.Ok()) << ::testing::PrintToString(arguments);
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
    EXPECT_EQ(ParseBatchOptions({"--bogus", "a"}).error, "unknown option '--bogus'");
    EXPECT_EQ(ParseBatchOptions({"--command", "x", "a"}).error,
              "invalid command row 'x' (a number from 0 is expected)");
}

}  // namespace
}  // namespace palomix
