#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "JsonReader.h"
#include "OddNames.h"
#include "PalomixBatchFixture.h"
#include "engine/CommandLine.h"
#include "platform/Drives.h"

namespace palomix::testing {
namespace {

TEST_F(PalomixBatchTest, ListPrintsCatalogueAndCommandListsInJapaneseByDefault) {
    const BatchResult result = Run({"--list"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "0\tpsp.ini\tPSP\xE5\x8B\x95\xE7\x94\xBB\tfor \"PSP\"\t" + psp_ +
                              "\n"
                              "\t0\t0\t\xE6\xA8\x99\xE6\xBA\x96\n"
                              "\t1\t2\t\xE9\xAB\x98\n"
                              "1\t" +
                              kOddName + "\t\xE5\xA4\x89\t\t" + odd_ +
                              "\n"
                              "\t0\t0\tone\n");
}

// --list --format json is one object a settings file, agreeing with the text list, with each
// command's file types; the JSON plan's objects carry their version too; another format is
// refused.
TEST_F(PalomixBatchTest, ListFormatJsonIsNotIgnored) {
    WriteSettings("types.ini",
                  "[Info]\nTitleE=T\nExtensions=MP3, .Flac\n[Item0]\nTitleE=any of Info\n"
                  "[Item3]\nTitleE=wav\nExtensions=wav\n");
    const BatchResult text = Run({"--list", "--language", "en"});
    const BatchResult json = Run({"--list", "--format", "json", "--language", "en"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.err, "");
    const std::vector<std::string> files = Lines(json.out);
    ASSERT_EQ(files.size(), 3u) << json.out;
    std::vector<std::string> fromJson;  // the text list, remade from the JSON
    for (const std::string& line : files) {
        const JsonValue file = JsonReader::Parse(line);
        EXPECT_EQ(file["version"].text, "1");
        EXPECT_EQ(file["language"].text, "en");
        fromJson.push_back(file["index"].text + "\t" + file["file_name"].text + "\t" +
                           file["title"].text + "\t" + file["description"].text + "\t" +
                           file["path"].text);
        for (const JsonValue& command : file["commands"].items) {
            fromJson.push_back("\t" + command["row"].text + "\t" + command["item"].text + "\t" +
                               command["title"].text);
        }
    }
    EXPECT_EQ(fromJson, Lines(text.out));
    EXPECT_EQ(JsonReader::Parse(files[2])["path"].text, odd_);  // subfolders come last
    EXPECT_EQ(JsonReader::Parse(files[0])["commands"].items[0]["extensions"].kind,
              JsonValue::Kind::Null);
    const JsonValue types = JsonReader::Parse(files[1])["commands"];
    EXPECT_EQ(types.items[0]["extensions"].Strings(), (std::vector<std::string>{"mp3", "flac"}));
    EXPECT_EQ(types.items[1]["extensions"].Strings(), std::vector<std::string>{"wav"});

    WriteWork("clip.mpg");
    WriteWork("two.mpg");
    const BatchResult plan = Run({"--dry-run", "--format", "json", "clip.mpg", "two.mpg"});
    ASSERT_EQ(Lines(plan.out).size(), 2u) << plan.out;
    for (const std::string& job : Lines(plan.out)) {
        EXPECT_EQ(JsonReader::Parse(job)["version"].text, "1");
    }
    EXPECT_EQ(Run({"--list", "--format", "yaml"}).exitCode, 2);
}

// A job the run would skip (its output exists, --existing skip) starts nothing: the dry run
// lists none of its lines, so that a script running the plan cannot write over that output.
TEST_F(PalomixBatchTest, AJobThatWouldBeSkippedListsNoCommand) {
    WriteWork("clip.mpg");
    WriteWork("out/clip.mp4", "kept");
    const std::vector<std::string> skip = {"--existing", "skip", "--output", "out", "clip.mpg"};
    std::vector<std::string> arguments = skip;
    arguments.insert(arguments.begin(), "--dry-run");
    const BatchResult text = Run(arguments);
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "");
    EXPECT_NE(text.err.find("would be skipped (the output file exists"), std::string::npos);
    arguments.insert(arguments.begin(), {"--format", "json"});
    const JsonValue job = JsonReader::Parse(Run(arguments).out);
    EXPECT_TRUE(job["commands"].items.empty());
    EXPECT_TRUE(job["outputs"].items.empty());
    EXPECT_EQ(job["problem"].text, "the output file exists: " + Work("out/clip.mp4"));
}

TEST_F(PalomixBatchTest, LanguageComesFromTheStateFileUnlessGiven) {
    WriteFile(program_ / "Palomix.ini", "[SET]\nB1=1\nB2=1\n");
    const std::vector<std::string> english = Lines(Run({"--list"}).out);
    ASSERT_EQ(english.size(), 5u);
    EXPECT_EQ(english[0], "0\tpsp.ini\tPSP video\tfor \xE2\x80\x9DPSP\xE2\x80\x9D\t" + psp_);
    EXPECT_EQ(english[2], "\t1\t2\tHigh");
    EXPECT_EQ(english[4], "\t0\t0\tone E");

    EXPECT_EQ(Lines(Run({"--list", "--language", "ja"}).out)[2], "\t1\t2\t\xE9\xAB\x98");

    WriteFile(program_ / "Palomix.ini", "[SET]\nB1=0\nB2=0\n");
    EXPECT_EQ(Lines(Run({"--list"}).out)[1], "\t0\t0\t\xE6\xA8\x99\xE6\xBA\x96");
}

TEST_F(PalomixBatchTest, DryRunPrintsEveryPreparedLineInRunOrder) {
    WriteWork("clip.mpg");
    WriteWork("dir/x.avi");
    WriteWork("dir/Sub/y.avi");
    WriteWork(kOddJob);

    const BatchResult result =
        Run({"--dry-run", "--output", "out", "clip.mpg", "dir/", "nothere.avi", kOddJob});
    EXPECT_EQ(result.exitCode, 1) << result.err;  // a path given was left out, as a run says

    // Each job gets the lines PrepareCommandLine makes with its path, the output folder made
    // absolute and the program folder, in queue order; the tool line prints nothing.
    const std::string out = Work("out");
    NoCreateDevices noDevices({});
    std::string expected;
    for (const std::string& job :
         {Work("clip.mpg"), Work("dir/x.avi"), Work("dir/Sub/y.avi"), Work(kOddJob)}) {
        const CommandValues values{job, out, ProgramFolder()};
        for (const std::string& commandTemplate : {kStandard0, kStandard1, kStandard3}) {
            if (const auto line = PrepareCommandLine(commandTemplate, values, noDevices)) {
                expected += *line + "\n";
            }
        }
    }
    EXPECT_EQ(Lines(result.out).size(), 8u);
    EXPECT_EQ(Lines(result.out)[0],
              Text(program_ / "cores" / ("ffmpeg" PALOMIX_EXECUTABLE_SUFFIX)) + " -i \"" +
                  Work("clip.mpg") + "\" -b 768k \"" + Work("out/clip.mp4") + "\" -y");
    EXPECT_EQ(result.out, expected);

    EXPECT_EQ(Lines(result.err).size(), 1u);
    EXPECT_NE(result.err.find(Work("nothere.avi")), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(work_ / "out"));
}

TEST_F(PalomixBatchTest, CommandRowPicksTheItemOfItsTitleAndDrivesGetNoFolders) {
    WriteWork("clip.mpg");
    const fs::path plain = work_ / "drives" / "plain";
    const fs::path psp = work_ / "drives" / "psp";
    fs::create_directories(plain);
    fs::create_directories(psp / "PSP" / "GAME");

    const BatchResult result = Run({"--dry-run", "--command", "1", "--drive", "drives/plain",
                                    "--drive", psp.string(), "clip.mpg"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // Row 1 is Item2 (Item1 has no title): its line, with the PSP's video folder.
    EXPECT_EQ(result.out, "high \"" + Work("clip.mpg") + "\" \"" +
                              (psp / "VIDEO" / "clip").string() + ".MP4\" x\n");
    EXPECT_FALSE(fs::exists(psp / "VIDEO"));
    EXPECT_FALSE(fs::exists(plain / "VIDEO"));
}

TEST_F(PalomixBatchTest, DryRunAndRunAgreeOnALineForAPlayerThatIsNotAttached) {
    WriteSettings("echo.ini",
                  "[Item0]\nTitle=e\n"
                  "Command0=/bin/echo \"<%InputFile%>\" \"<%PSPVideoOutputFile%>.MP4\"\n");
    WriteWork("clip.mpg");
    fs::create_directories(work_ / "plain");
    const std::vector<std::string> common = {"--settings", "echo.ini", "--drive", "plain",
                                             "clip.mpg"};
    std::vector<std::string> dry = common;
    dry.insert(dry.begin(), "--dry-run");
    const BatchResult planned = Run(dry);
    const BatchResult ran = Run(common);

    // The line is not printed, since it would not be started, and both end the same way.
    EXPECT_EQ(planned.out, "");
    EXPECT_NE(planned.err.find("no PSP is attached"), std::string::npos) << planned.err;
    EXPECT_EQ(planned.exitCode, 1);
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.err.find("clip.mpg: failed (not run: no PSP is attached)"), std::string::npos)
        << ran.err;
}

TEST_F(PalomixBatchTest, SettingsFileByPathOrRelativeToConvertSettings) {
    WriteWork("clip.mpg");
    const std::string expected = "odd \"" + Work("clip.mpg") + "\" x\n";
    EXPECT_EQ(Run({"--dry-run", "--settings", "sub/" + kOddName, "clip.mpg"}).out, expected);
    EXPECT_EQ(Run({"--dry-run", "--settings", odd_, "clip.mpg"}).out, expected);

    WriteWork("mine.ini", "[Item0]\nTitle=m\nCommand0=mine \"<%InputFile%>\" x\n");
    EXPECT_EQ(Run({"--dry-run", "--settings=mine.ini", "clip.mpg"}).out,
              "mine \"" + Work("clip.mpg") + "\" x\n");
}

TEST_F(PalomixBatchTest, UnknownSettingsOrCommandRowFailsWithOneLine) {
    WriteWork("clip.mpg");
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--dry-run", "--settings", "none.ini", "clip.mpg"},
             {"--dry-run", "--settings", "sub", "clip.mpg"},  // a folder is no settings file
             {"--dry-run", "--command", "2", "clip.mpg"},
             {"--dry-run", "--settings", "sub/" + kOddName, "--command", "1", "clip.mpg"}}) {
        const BatchResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    }
    EXPECT_NE(Run({"--dry-run", "--settings", "none.ini", "clip.mpg"}).err.find("none.ini"),
              std::string::npos);
}

TEST_F(PalomixBatchTest, BadUsageExitsWith2AndOneLine) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"--bogus", "a"},
                                               {"--command", "x", "a"},
                                               {"--language", "fr", "a"},
                                               {"a", "--output"}}) {
        const BatchResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    }
}

TEST_F(PalomixBatchTest, MissingConvertSettingsFolderGivesTheMessageOfTheLanguage) {
    fs::remove_all(program_ / "convert_settings");
    const BatchResult japanese = Run({"--list"});
    EXPECT_EQ(japanese.exitCode, 2);
    EXPECT_EQ(japanese.err,
              "palomix-batch: convert_settings\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80"
              "\xE3\x81\x8C\xE5\xAD\x98\xE5\x9C\xA8\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x9B\xE3\x82"
              "\x93.\n");
    const BatchResult english = Run({"--dry-run", "--language", "en", "x"});
    EXPECT_EQ(english.exitCode, 2);
    EXPECT_EQ(english.err, "palomix-batch: 'convert_settings' Folder does not exist.\n");
}

TEST_F(PalomixBatchTest, HelpAndVersion) {
    const BatchResult help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--dry-run"), std::string::npos);
    const BatchResult version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("palomix-batch ", 0), 0u);
}

TEST_F(PalomixBatchTest, VersionStatesTheLicence) {
    const BatchResult version = Run({"--version"});
    EXPECT_NE(version.out.find("\nLicence: GPL-3.0-or-later "), std::string::npos) << version.out;
    EXPECT_NE(version.out.find("NO WARRANTY"), std::string::npos) << version.out;
}

}  // namespace
}  // namespace palomix::testing
