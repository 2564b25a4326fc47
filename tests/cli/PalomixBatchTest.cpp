#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BatchProgramFixture.h"
#include "JsonReader.h"
#include "OddNames.h"
#include "engine/CommandLine.h"
#include "platform/Drives.h"

namespace palomix::testing {
namespace {

namespace fs = std::filesystem;

// A settings file name with blanks, quotes, '$', ';' and Japanese characters, and a job file
// name of the same kind (OddNames.h).
const std::string& kOddName = kOddSettingsName;
const std::string& kOddJob = kOddJobName;

// The command lines of Item0 of psp.ini: 0 and 3 run, 1 is a tool line, 2 is missing.
const std::string kStandard0 =
    "\"<%AppPath%>\\cores\\ffmpeg\" -i \"<%InputFile%>\" -b 768 \"<%OutputFile%>.mp4\" -y";
const std::string kStandard1 = "rm \"<%OutputFile%>.tmp\"";
const std::string kStandard3 = "echo done \"<%InputFile%>\" x";

// Device access that never creates a folder, to work out the expected lines.
class NoCreateDevices final : public DeviceAccess {
public:
    explicit NoCreateDevices(std::vector<std::string> drives)
        : inner_(FolderDeviceAccess(std::move(drives))) {}
    std::vector<std::string> ListDrives() override { return inner_->ListDrives(); }
    bool IsFolder(const std::string& path) override { return inner_->IsFolder(path); }
    bool CreateFolders(const std::string&) override { return true; }

private:
    std::unique_ptr<DeviceAccess> inner_;
};

class PalomixBatchTest : public BatchProgramFixture {
protected:
    void SetUp() override {
        BatchProgramFixture::SetUp();
        psp_ =
            WriteSettings("psp.ini",
                          "[Info]\n"
                          "Title=PSP\xE5\x8B\x95\xE7\x94\xBB\n"
                          "Description=for \"PSP\"\n"
                          "TitleE=PSP video\n"
                          "DescriptionE=for \"PSP\"\n"
                          "[Item0]\n"
                          "Title=\xE6\xA8\x99\xE6\xBA\x96\n"
                          "TitleE=Standard\n"
                          "Command0=" +
                              kStandard0 + "\nCommand1=" + kStandard1 + "\nCommand3=" + kStandard3 +
                              "\n"
                              "[Item1]\n"
                              "Command0=untitled item, never run\n"
                              "[Item2]\n"
                              "Title=\xE9\xAB\x98\n"
                              "TitleE=High\n"
                              "Command0=high \"<%InputFile%>\" \"<%PSPVideoOutputFile%>.MP4\" x\n");
        odd_ =
            WriteSettings("sub/" + kOddName,
                          "[Info]\nTitle=\xE5\xA4\x89\nTitleE=Odd\n"
                          "[Item0]\nTitle=one\nTitleE=one E\nCommand0=odd \"<%InputFile%>\" x\n");
    }

    std::string Work(const std::string& relative) const { return Text(work_ / PathOf(relative)); }

    std::string psp_;
    std::string odd_;
};

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

// The paths of standard input go where "-" stands, byte for byte, as if they were given as
// arguments there.
TEST_F(PalomixBatchTest, PathsFromStandardInputGoWhereTheDashStands) {
    const std::vector<std::string> listed = {"a b.mpg", "bad\xFF\xFE.mpg", kOddJob, " lead.mpg",
                                             "new\nline.mpg"};
    for (const std::string& name : listed) {
        WriteWork(name);
    }
    WriteWork("first.mpg");
    const auto asArguments = [&](std::size_t count) {
        std::vector<std::string> arguments = {"--dry-run", "first.mpg"};
        arguments.insert(arguments.end(), listed.begin(), listed.begin() + count);
        arguments.push_back("first.mpg");
        return Run(arguments);
    };

    // NUL-ended, as find -print0 writes: any name; an empty entry names nothing, and the last
    // path needs no NUL after it.
    std::string nulList;
    for (const std::string& name : listed) {
        nulList += name + (name == kOddJob ? std::string(2, '\0') : std::string(1, '\0'));
    }
    nulList.pop_back();
    const BatchResult nul = Run({"--dry-run", "--null", "first.mpg", "-", "first.mpg"}, nulList);
    const BatchResult expected = asArguments(listed.size());
    EXPECT_EQ(nul.exitCode, 0) << nul.err;
    EXPECT_EQ(nul.err, "");
    // Seven jobs of two lines; the name with a newline shows three times.
    EXPECT_EQ(Lines(nul.out).size(), 2u * 7 + 3);
    EXPECT_EQ(nul.out, expected.out);

    // One per line (without the name holding a newline); blank lines are passed over.
    std::string lineList;
    for (std::size_t i = 0; i + 1 < listed.size(); ++i) {
        lineList += listed[i] + "\n\n";
    }
    const BatchResult lines = Run({"--dry-run", "first.mpg", "-", "first.mpg"}, lineList);
    EXPECT_EQ(lines.exitCode, 0) << lines.err;
    EXPECT_EQ(lines.out, asArguments(listed.size() - 1).out);

    // An empty list is said, and there is nothing to do.
    const BatchResult none = Run({"--dry-run", "-"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "palomix-batch: warning: standard input listed no path\n");
}

// One JSON object a job: its path, the output folder, and each line that would run as the
// argument list the launcher starts; lines that would not run are listed with the reason.
TEST_F(PalomixBatchTest, JsonDryRunGivesEachJobItsArgumentLists) {
    WriteWork("clip.mpg");
    WriteWork(kOddJob);
    const BatchResult result =
        Run({"--dry-run", "--format=json", "--output", "out", "clip.mpg", kOddJob, "nothere.avi"});
    EXPECT_EQ(result.exitCode, 1);  // a path was left out
    const std::vector<std::string> jobs = Lines(result.out);
    ASSERT_EQ(jobs.size(), 2u) << result.out;
    const JsonValue odd = JsonReader::Parse(jobs[1]);
    EXPECT_EQ(odd["input"].text, Work(kOddJob));
    EXPECT_EQ(odd["output_folder"].text, Work("out"));
    EXPECT_FALSE(odd.Has("not_run"));
    const JsonValue& commands = odd["commands"];
    ASSERT_EQ(commands.items.size(), 2u);
    // cores/ffmpeg is not in this program folder: argument 0 is the program as written.
    EXPECT_EQ(commands.items[0].Strings(),
              (std::vector<std::string>{
                  (program_ / "cores" / "ffmpeg").string(), "-i", Work(kOddJob), "-b", "768k",
                  Work("out/" + kOddJob.substr(0, kOddJob.size() - 4) + ".mp4"), "-y"}));
    // echo is found on PATH, as the launcher finds it.
    const std::vector<std::string> echo = commands.items[1].Strings();
    ASSERT_EQ(echo.size(), 4u);
    EXPECT_EQ(fs::path(echo[0]).filename(), "echo");
    EXPECT_TRUE(fs::path(echo[0]).is_absolute()) << echo[0];
    EXPECT_EQ(echo[2], Work(kOddJob));
    EXPECT_FALSE(fs::exists(work_ / "out"));

    // A line for a player that is not attached is not run, and says why.
    fs::create_directories(work_ / "plain");
    const BatchResult psp =
        Run({"--dry-run", "--format", "json", "--command", "1", "--drive", "plain", "clip.mpg"});
    EXPECT_EQ(psp.exitCode, 1);
    const JsonValue notRun = JsonReader::Parse(psp.out);
    EXPECT_TRUE(notRun["commands"].items.empty());
    ASSERT_EQ(notRun["not_run"].items.size(), 1u);
    EXPECT_EQ(notRun["not_run"].items[0]["command"].text, "0");
    EXPECT_EQ(notRun["not_run"].items[0]["reason"].text, "no PSP is attached");
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

}  // namespace
}  // namespace palomix::testing
