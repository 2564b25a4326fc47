// palomix-batch with names only POSIX file systems hold (bytes that are not UTF-8, line ends):
// the paths of standard input and the JSON dry run.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "JsonReader.h"
#include "OddNames.h"
#include "PalomixBatchFixture.h"
#include "engine/CommandLine.h"
#include "platform/Drives.h"
#include "tests/platform/ScopedEnvironment.h"

namespace palomix::testing {
namespace {

class PalomixBatchPosixTest : public PalomixBatchTest {};

// The paths of standard input go where "-" stands, byte for byte, as if they were given as
// arguments there.
TEST_F(PalomixBatchPosixTest, PathsFromStandardInputGoWhereTheDashStands) {
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

// A list that cannot be read (standard input a folder, or closed) is an error that converts
// nothing, not an empty list.
TEST_F(PalomixBatchPosixTest, AnUnreadableStandardInputIsAnErrorWithExit2) {
    WriteWork("clip.mpg");
    for (const std::string& input : {std::string("< /"), std::string("<&-")}) {
        SCOPED_TRACE(input);
        // The shell opens or closes standard input, then becomes palomix-batch.
        const long id = children_.Start(
            {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + input, Text(program_ / kProgramName),
             "--dry-run", "clip.mpg", "-"},
            WorkFolder(), {}, Text(root_ / "stdout.txt"), Text(root_ / "stderr.txt"));
        EXPECT_EQ(children_.Wait(id).exitCode, 2);
        EXPECT_EQ(ReadAll(Text(root_ / "stdout.txt")), "");
        const std::string err = ReadAll(Text(root_ / "stderr.txt"));
        EXPECT_EQ(Lines(err).size(), 1u) << err;
        EXPECT_EQ(err.rfind("palomix-batch: the paths cannot be read from standard input: ", 0), 0u)
            << err;
    }
}

// One JSON object a job: its path, the output folder, and each line that would run as the
// argument list the launcher starts; lines that would not run are listed with the reason.
TEST_F(PalomixBatchPosixTest, JsonDryRunGivesEachJobItsArgumentLists) {
    WriteWork("clip.mpg");
    WriteWork(kOddJob);
    const BatchResult result =
        Run({"--dry-run", "--format=json", "--output", "out", "clip.mpg", kOddJob, "nothere.avi"});
    EXPECT_EQ(result.exitCode, 1);  // a path was left out
    const std::vector<std::string> jobs = Lines(result.out);
    ASSERT_EQ(jobs.size(), 2u) << result.out;
    const JsonValue odd = JsonReader::Parse(jobs[1]);
    EXPECT_EQ(odd["version"].text, "1");
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
    // The files its lines write, by their final names.
    EXPECT_EQ(odd["outputs"].Strings(), std::vector<std::string>{commands.items[0].Strings()[5]});
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

// However a path is spelled, it comes in as the window takes the same path.
TEST_F(PalomixBatchPosixTest, PathsComeInByTheOneRuleWhateverTheirSpelling) {
    WriteWork("clip.mpg");
    WriteWork("d/x.mpg");
    const BatchResult result =
        Run({"--dry-run", "--format=json", "./clip.mpg", "d/../clip.mpg", "d/", "./d//./"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> inputs;
    for (const std::string& job : Lines(result.out)) {
        inputs.push_back(JsonReader::Parse(job)["input"].text);
    }
    EXPECT_EQ(inputs, (std::vector<std::string>{Work("clip.mpg"), Work("clip.mpg"), Work("d/x.mpg"),
                                                Work("d/x.mpg")}));
}

// The locale variables of this process (and so of the programs it starts), for as long as it
// lives; put back as they were afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const std::string& locale) {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(value != nullptr ? std::optional<std::string>(value)
                                                 : std::nullopt);
            ::unsetenv(name);
        }
        ::setenv("LANG", locale.c_str(), 1);
    }
    ~LocaleScope() {
        for (std::size_t at = 0; at < kNames.size(); ++at) {
            if (saved_[at]) {
                ::setenv(kNames[at], saved_[at]->c_str(), 1);
            } else {
                ::unsetenv(kNames[at]);
            }
        }
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    static constexpr std::array<const char*, 3> kNames = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::vector<std::optional<std::string>> saved_;
};

// The same rule as the window's first start: the saved choice, else the system's language,
// else Japanese.
TEST_F(PalomixBatchPosixTest, TheDefaultLanguageFollowsTheSystemUnlessOneWasSaved) {
    const std::string englishTitle = "\t0\t0\tStandard";
    const std::string japaneseTitle = "\t0\t0\t\xE6\xA8\x99\xE6\xBA\x96";
    for (const auto& [locale, title] :
         {std::pair{"en_US.UTF-8", englishTitle}, std::pair{"ja_JP.UTF-8", japaneseTitle},
          std::pair{"C", japaneseTitle}}) {
        const LocaleScope scope(locale);
        EXPECT_EQ(Lines(Run({"--list"}).out).at(1), title) << locale;
    }
    WriteFile(program_ / "Palomix.ini", "[SET]\nB1=1\nB2=0\n");
    const LocaleScope english("en_US.UTF-8");
    EXPECT_EQ(Lines(Run({"--list"}).out).at(1), japaneseTitle);
}

// A run's log goes to the state folder, and with --log to the file given too: the same text,
// with the command lines and what the converter printed, but nothing of the environment. A log
// file that cannot be written is refused before anything runs.
TEST_F(PalomixBatchPosixTest, NothingToAttachToABugReport) {
    const std::string state = Text(root_ / "state");
    const ScopedEnvironment stateHome("XDG_STATE_HOME", state);
    const ScopedEnvironment secret("PALOMIX_TEST_SECRET", "s3cret-t0ken");
    WriteSettings("log.ini",
                  "[Item0]\nTitle=t\nTitleE=Echo\n"
                  "Command0=/bin/echo converted \"<%InputFile%>\" x\n");
    WriteWork("clip.mpg");
    const BatchResult run = Run({"--settings", "log.ini", "--log", "my run.log", "clip.mpg"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string log = ReadAll(Work("my run.log"));
    std::vector<std::string> kept;
    for (const auto& entry : fs::directory_iterator(root_ / "state" / "palomix" / "logs")) {
        kept.push_back(Text(entry.path()));
    }
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadAll(kept[0]), log);
    for (const std::string& expected : std::vector<std::string>{
             "Program: palomix-batch ", "Settings file: " + SettingsFolder() + "/log.ini",
             "Command: item 0 \"Echo\"",
             "line 0: /bin/echo converted \"" + Work("clip.mpg") + "\" x",
             "| converted " + Work("clip.mpg") + " x\n", "1 done, 0 failed"}) {
        EXPECT_NE(log.find(expected), std::string::npos) << expected << " in:\n" << log;
    }
    EXPECT_EQ(log.find("s3cret-t0ken"), std::string::npos);

    const BatchResult refused =
        Run({"--settings", "log.ini", "--log", "no/such/folder/run.log", "clip.mpg"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(
        refused.err.find("the log file '" + Work("no/such/folder/run.log") + "' cannot be written"),
        std::string::npos)
        << refused.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "state" / "palomix" / "logs"),
                            fs::directory_iterator()),
              1);
}

}  // namespace
}  // namespace palomix::testing
