#include "engine/CommandLine.h"
#include "platform/CommandLineSplit.h"

#include <gtest/gtest.h>

#include "DeviceOutputFakes.h"

namespace palomix {
namespace {

using testing::FakeDevices;

constexpr auto kWin = PathStyle::Windows;
constexpr auto kPosix = PathStyle::Posix;

const CommandValues kWinValues{R"(C:\movies\clip.mpg)", R"(D:\out)", R"(C:\conv)"};
const CommandValues kPosixValues{"/movies/clip.mpg", "/out", "/conv"};

constexpr const char* kWorkedTemplate =
    R"("<%AppPath%>\cores\ffmpeg" -y -i "<%InputFile%>" -title "<%Title%>" -vcodec xvid -b 768 )"
    R"(-acodec mp3 -ab 128 -maxfr 30 -bitexact "<%OutputFile%>.avi")";
constexpr const char* kThumbnailTemplate =
    R"("<%AppPath%>\cores\ffmpeg" -y -i "<%InputFile%>" -f image2 "<%OutputFile%>.THM")";

// Prepares a template that is expected to run, with no drive attached.
std::string Prepared(std::string_view commandTemplate, const CommandValues& values,
                     PathStyle style) {
    FakeDevices devices;
    const std::optional<std::string> line =
        PrepareCommandLine(commandTemplate, values, devices, style);
    EXPECT_TRUE(line.has_value()) << commandTemplate;
    return line.value_or("<skipped>");
}

std::string Win(std::string_view commandTemplate) {
    return Prepared(commandTemplate, kWinValues, kWin);
}
std::string Posix(std::string_view commandTemplate) {
    return Prepared(commandTemplate, kPosixValues, kPosix);
}

TEST(CommandLine, WorkedExampleInBothPathStyles) {
    FakeDevices devices;
    EXPECT_EQ(PrepareCommandLine(kWorkedTemplate, kWinValues, devices, kWin),
              R"(C:\conv\cores\ffmpeg.exe -y -i "C:\movies\clip.mpg" -vcodec libxvid -b 768k )"
              R"(-acodec libmp3lame -ab 128k -flags bitexact "D:\out\clip.avi")");
    EXPECT_EQ(PrepareCommandLine(kWorkedTemplate, kPosixValues, devices, kPosix),
              R"(/conv/cores/ffmpeg -y -i "/movies/clip.mpg" -vcodec libxvid -b 768k )"
              R"(-acodec libmp3lame -ab 128k -flags bitexact "/out/clip.avi")");
    // No device placeholder: no drive was looked at.
    EXPECT_EQ(devices.Accesses(), 0);
}

TEST(CommandLine, ThumbnailBecomesAJpegInTheOutputFolder) {
    EXPECT_EQ(Win(kThumbnailTemplate),
              R"(C:\conv\cores\ffmpeg.exe -y -i "C:\movies\clip.mpg" -f image2 "D:\out\clip.jpg")");
    EXPECT_EQ(Posix(kThumbnailTemplate),
              R"(/conv/cores/ffmpeg -y -i "/movies/clip.mpg" -f image2 "/out/clip.jpg")");
}

TEST(CommandLine, BothConvertersAreNamedInTheCoresFolder) {
    const char* both = R"("<%AppPath%>\cores\Cantalib" -x & "<%AppPath%>\cores\ffmpeg" -y)";
    EXPECT_EQ(Win(both), R"(C:\conv\cores\Cantalib.exe -x & C:\conv\cores\ffmpeg.exe -y)");
    EXPECT_EQ(Posix(both), "/conv/cores/Cantalib -x & /conv/cores/ffmpeg -y");
}

TEST(CommandLine, EmptyAndToolLinesAreSkipped) {
    FakeDevices devices;
    for (const char* skipped :
         {"", "Platenfold.exe -go", R"("<%AppPath%>\Boxwright" x)", R"(rm "<%OutputFile%>.tmp")",
          "ffmpeg -af loudnorm -y", "x <%PSPVideoOutputFile%> rm "}) {
        EXPECT_TRUE(IsSkippedTemplate(skipped)) << skipped;
        EXPECT_EQ(PrepareCommandLine(skipped, kWinValues, devices, kWin), std::nullopt) << skipped;
    }
    // A skipped line runs no rule, so its device placeholder touched no drive.
    EXPECT_EQ(devices.Accesses(), 0);

    // The test is exact and on the template only.
    for (const char* runs : {"ffmpeg -f norm", "RM x", "platenfold", "-i \"<%InputFile%>\""}) {
        EXPECT_FALSE(IsSkippedTemplate(runs)) << runs;
    }
    const CommandValues farm{R"(C:\farm stuff\Boxwright rm .mpg)", R"(D:\out)", R"(C:\conv)"};
    EXPECT_EQ(PrepareCommandLine(R"(-i "<%InputFile%>")", farm, devices, kWin),
              R"(-i "C:\farm stuff\Boxwright rm .mpg")");
}

TEST(CommandLine, RateSuffixGoesBeforeTheBlankAfterTheValue) {
    EXPECT_EQ(Win("x -b 768 -y"), "x -b 768k -y");
    EXPECT_EQ(Win("x -b 768"), "x -b 768");  // the option ends the line
    EXPECT_EQ(Win("x -ab 128k -y"), "x -ab 128kk -y");
    EXPECT_EQ(Win("x -ab 128 -y"), "x -ab 128k -y");  // "-ab " does not hold "-b "
    EXPECT_EQ(Win("x -b 1 -b 2 -y"), "x -b 1k -b 2 -y");
    EXPECT_EQ(Win("x -b  -y"), "x -b k -y");  // no value: the k stands alone
}

TEST(CommandLine, RemoveWithValueTakesTheValueAndItsBlank) {
    EXPECT_EQ(Win("x -maxfr 30 -y"), "x -y");
    EXPECT_EQ(Win("x -maxfr 30"), "x 30");  // the option ends the line: the value stays
    EXPECT_EQ(Win("-muxvb 1 -muxab 2 -y"), "-y");
    EXPECT_EQ(Win("x -maxfr 1 -maxfr 2 -y"), "x -maxfr 2 -y");
}

TEST(CommandLine, OptionsAreRemovedAndRespelledOnce) {
    EXPECT_EQ(Win(R"(f -title "<%Title%>" -timestamp "<%TimeStamp%>" -fixaspect -y)"), "f -y");
    EXPECT_EQ(Win("-vcodec h264 -acodec aac -vcodec xvid -acodec mp3"),
              "-vcodec libx264 -acodec libfaac -vcodec libxvid -acodec libmp3lame");
    // Texts already respelled hold no token and stay as they are.
    EXPECT_EQ(Win("-vcodec libxvid -flags bitexact -acodec libmp3lame"),
              "-vcodec libxvid -flags bitexact -acodec libmp3lame");
    // Placeholders without a rule stay as written.
    EXPECT_EQ(Win(R"(<%Title%> <%TimeStamp%> <%OutputPath%>x <%AppPath%>\cores\x)"),
              R"(<%Title%> <%TimeStamp%> <%OutputPath%>x <%AppPath%>\cores\x)");
}

TEST(CommandLine, PassLogOptionsGoBeforeTheOutputNameIsFilled) {
    EXPECT_EQ(Win(R"(f -pass 1 -passlogfile "<%OutputFile%>" -i x "<%OutputFile%>.mp4")"),
              R"(f -pass 1 -i x "D:\out\clip.mp4")");
    EXPECT_EQ(Win(R"(f -passlogfile "<%TemporaryFile%>" -y "<%TemporaryFile%>.log")"),
              R"(f -y "D:\out\clip.log")");
    EXPECT_EQ(Posix(R"(f "<%TemporaryFile%>.log" "<%OutputFile%>.mp4")"),
              R"(f "/out/clip.log" "/out/clip.mp4")");
}

TEST(CommandLine, OnlyTheFirstOccurrenceIsReplaced) {
    EXPECT_EQ(Win(R"(-i "<%InputFile%>" -i "<%InputFile%>" "<%OutputFile%>" "<%OutputFile%>")"),
              R"(-i "C:\movies\clip.mpg" -i "<%InputFile%>" "D:\out\clip" "<%OutputFile%>")");
}

TEST(CommandLine, OptionTokensAndPlaceholdersInsideInsertedPathsStayAsTheyAre) {
    FakeDevices devices;
    // A folder named "a-b c" keeps its name: the rate suffix rule looks at the template's own
    // options only, and so do the other option rules.
    const CommandValues values{R"(C:\a-b c\clip.mpg)", R"(D:\x -maxfr 1)", R"(C:\conv)"};
    EXPECT_EQ(PrepareCommandLine(R"(-i "<%InputFile%>" -b 768 "<%OutputFile%>.mp4")", values,
                                 devices, kWin),
              R"(-i "C:\a-b c\clip.mpg" -b 768k "D:\x -maxfr 1\clip.mp4")");
    // A file name holding a placeholder is not filled in by a later rule.
    EXPECT_EQ(PrepareCommandLine(R"(-i "<%InputFile%>" "<%OutputFile%>.mp4")",
                                 {"/m/<%OutputFile%>.mpg", "/out", ""}, devices, kPosix),
              R"(-i "/m/<%OutputFile%>.mpg" "/out/<%OutputFile%>.mp4")");
}

TEST(CommandLine, ValuesAreInsertedAsTheyAre) {
    FakeDevices devices;
    // A folder ending in a separator gets a second one; used as built.
    EXPECT_EQ(PrepareCommandLine(R"("<%OutputFile%>.avi")", {R"(C:\m\clip.mpg)", R"(D:\)", ""},
                                 devices, kWin),
              R"("D:\\clip.avi")");
    EXPECT_EQ(PrepareCommandLine(R"("<%OutputFile%>.avi")", {"/m/clip.mpg", "/out/", ""}, devices,
                                 kPosix),
              R"("/out//clip.avi")");
    // A program folder with blanks is not quoted.
    EXPECT_EQ(PrepareCommandLine(R"("<%AppPath%>\cores\ffmpeg" -y)",
                                 {"", "", R"(C:\Program Files\Palomix)"}, devices, kWin),
              R"(C:\Program Files\Palomix\cores\ffmpeg.exe -y)");
    // Empty values are empty texts; the name of a file that is only an extension is empty.
    EXPECT_EQ(PrepareCommandLine(R"(-i "<%InputFile%>" "<%OutputFile%>.avi")",
                                 {R"(C:\m\.avi)", "", ""}, devices, kWin),
              R"(-i "C:\m\.avi" "\.avi")");
    // Blanks, '$', ';' and non-ASCII text go in unchanged. For POSIX, where the line is split
    // by the Windows command-line rules, a double quote in a name is written as \" and the
    // backslashes before a quote are doubled, so that the split gives the name back whole.
    EXPECT_EQ(PrepareCommandLine(R"(-i "<%InputFile%>" "<%OutputFile%>.mp4")",
                                 {"/m/$x; \"ク リ\".mpg", "/出力", ""}, devices, kPosix),
              R"(-i "/m/$x; \"ク リ\".mpg" "/出力/$x; \"ク リ\".mp4")");
    EXPECT_EQ(PrepareCommandLine(R"(-i "<%InputFile%>" -o "<%OutputFile%>")",
                                 {R"(/m/a\"b\)", R"(/o\)", ""}, devices, kPosix),
              R"(-i "/m/a\\\"b\\" -o "/o\/a\\\"b\\")");
}

TEST(CommandLine, ALineLeftEmptyIsStillRun) {
    FakeDevices devices;
    EXPECT_EQ(PrepareCommandLine("-fixaspect ", kWinValues, devices, kWin), "");
}

TEST(CommandLine, ProgramThatLostItsOuterQuotesKeepsThePlaceholder) {
    // The settings reader strips a quote pair that opens and closes the whole value.
    EXPECT_EQ(Win(R"(<%AppPath%>\cores\ffmpeg" -y -i "<%InputFile%>" "<%OutputFile%>.avi)"),
              R"(<%AppPath%>\cores\ffmpeg" -y -i "C:\movies\clip.mpg" "D:\out\clip.avi)");
}

TEST(CommandLine, DevicePlaceholdersGoToTheAttachedPlayer) {
    FakeDevices devices;
    devices.drives = {"C:", "E:", "F:"};
    devices.folders = {R"(E:\PSP\GAME)", R"(F:\MP_ROOT)"};
    EXPECT_EQ(PrepareCommandLine(R"(f -i "<%InputFile%>" "<%OutputPath%>M4V<%RandomNumber5%>.MP4")",
                                 kWinValues, devices, kWin),
              R"(f -i "C:\movies\clip.mpg" "E:\VIDEO\clip.MP4")");
    EXPECT_EQ(PrepareCommandLine(R"(f "<%OutputPath%>MAQ<%RandomNumber5%>.THM")", kWinValues,
                                 devices, kWin),
              R"(f "E:\VIDEO\clip.jpg")");
    EXPECT_EQ(
        PrepareCommandLine(R"(f "<%PSPVideoOutputFile%>.MP4" "<%PSPMusicOutputFile%>.m4a" )"
                           R"("<%WALKMANVideoOutputFile%>.mp4" "<%WALKMANMusicOutputFile%>.mp3")",
                           kWinValues, devices, kWin),
        R"(f "E:\VIDEO\clip.MP4" "E:\MUSIC\clip.m4a" "F:\VIDEO\clip.mp4" "F:\MUSIC\clip.mp3")");
    EXPECT_EQ(devices.created,
              (std::vector<std::string>{R"(E:\VIDEO)", R"(E:\VIDEO)", R"(E:\VIDEO)", R"(E:\MUSIC)",
                                        R"(F:\VIDEO)", R"(F:\MUSIC)"}));

    // The same in the POSIX style, with the root file system carrying the PSP.
    FakeDevices posix;
    posix.drives = {"/", "/media/walkman"};
    posix.folders = {"/PSP/GAME", "/media/walkman/MP_ROOT"};
    EXPECT_EQ(PrepareCommandLine(R"("<%OutputPath%>M4V<%RandomNumber5%>.MP4" )"
                                 R"("<%WALKMANMusicOutputFile%>.mp3")",
                                 kPosixValues, posix, kPosix),
              R"("/VIDEO/clip.MP4" "/media/walkman/MUSIC/clip.mp3")");
}

TEST(CommandLine, DevicePlaceholderVanishesWithoutAPlayer) {
    FakeDevices devices;
    devices.drives = {"C:", "D:"};
    EXPECT_EQ(Prepared(R"(f -i "<%InputFile%>" "<%PSPVideoOutputFile%>.MP4")", kWinValues, kWin),
              R"(f -i "C:\movies\clip.mpg" ".MP4")");
    EXPECT_EQ(PrepareCommandLine(R"(f "<%RandomNumber5%>.THM")", kWinValues, devices, kWin),
              R"(f "")");
    EXPECT_TRUE(devices.created.empty());
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

TEST(CommandLine, OddFileNamesComeOutOfTheSplitWhole) {
    FakeDevices devices;
    for (const std::string name :
         {"/v/a b.mp4", "/v/q\"uote.mp4", "/v/$(touch x); y.mp4", R"(/v/back\slash.mp4)",
          R"(/v/ends\)", "/v/日本語 ファイル.mp4", R"(/v/\"\\".mp4)"}) {
        const auto line = PrepareCommandLine(R"(ffmpeg -i "<%InputFile%>" "<%OutputFile%>.mp4")",
                                             {name, "/o", "/app"}, devices, PathStyle::Posix);
        ASSERT_TRUE(line.has_value());
        const std::vector<std::string> args = SplitArguments(*line);
        ASSERT_EQ(args.size(), 4u) << *line;
        EXPECT_EQ(args[2], name);
        EXPECT_EQ(args[3],
                  JoinPath("/o", BaseNameOf(name, PathStyle::Posix), PathStyle::Posix) + ".mp4");
    }
}

}  // namespace
}  // namespace palomix

namespace palomix {
namespace {

// Every inserted value comes back from the POSIX split byte for byte: alone in its quotes,
// glued to the template's text, and glued to other values, including values that are empty,
// end in backslashes or hold quotes. Values: every text of up to three of the characters that
// the split treats specially, and a plain one.
TEST(CommandLine, InsertedValuesComeOutOfTheSplitWholeWhereverTheyStand) {
    std::vector<std::string> values = {""};
    for (std::size_t begin = 0; begin < values.size() && values.size() < 85; ++begin) {
        if (values[begin].size() < 3) {
            for (const char c : {'\\', '"', ' ', 'a'}) {
                values.push_back(values[begin] + c);
            }
        }
    }
    FakeDevices devices;
    const auto split = [&](std::string_view commandTemplate, const CommandValues& inserted) {
        const auto line = PrepareCommandLine(commandTemplate, inserted, devices, PathStyle::Posix);
        return line ? SplitArguments(*line) : std::vector<std::string>{};
    };
    for (const std::string& input : values) {
        for (const std::string& output : values) {
            const CommandValues inserted{input, output, "/app"};
            const std::string outputName =
                output + "/" + std::string(BaseNameOf(input, PathStyle::Posix));
            EXPECT_EQ(split(R"(prog "<%OutputFile%>.THM<%OutputFile%><%InputFile%>")", inserted),
                      (std::vector<std::string>{"prog", outputName + ".jpg" + outputName + input}))
                << "[" << input << "] [" << output << "]";
            EXPECT_EQ(split(R"(prog -i "<%InputFile%>"x "\<%OutputFile%>")", inserted),
                      (std::vector<std::string>{"prog", "-i", input + "x", "\\" + outputName}))
                << "[" << input << "] [" << output << "]";
        }
    }
}

// A template prepared once reads each job's line from its own reading where the job's values
// cannot change it, and that is the launcher's reading of the line; values with blanks where
// they stand outside quotes, quotes or backslashes have the line read itself.
TEST(CommandLine, ATemplateReadOnceReadsAsItsLines) {
    const std::vector<std::string> values = {"/a/b", "/a b/c", "/a\"b", "/a\\", "/a\tb"};
    int readOnce = 0;
    for (const char* commandTemplate :
         {R"("<%AppPath%>\cores\ffmpeg" -i "<%InputFile%>" -f mp3 "<%OutputFile%>_1.mp3")",
          R"(<%AppPath%>/prog -i <%InputFile%> x"<%OutputFile%>.mp4")",
          R"(prog "-i" "<%InputFile%>"x <%OutputFile%>)"}) {
        const std::optional<CompiledTemplate> compiled =
            CompiledTemplate::Compile(commandTemplate, kPosix);
        ASSERT_TRUE(compiled.has_value());
        for (const std::string& input : values) {
            for (const std::string& folder : values) {
                std::optional<LineReading> reading;
                const std::optional<std::string> line =
                    compiled->Prepare(CommandValues{input, folder, "/app"}, nullptr, &reading);
                ASSERT_TRUE(line.has_value());
                if (reading) {
                    ++readOnce;
                    const std::vector<ProgramCandidate> read = ProgramCandidates(*line);
                    ASSERT_FALSE(read.empty());
                    EXPECT_EQ(*reading, (LineReading{std::string(read.front().program),
                                                     SplitArguments(read.front().rest)}))
                        << *line;
                }
            }
        }
    }
    // Plain values in each template, and blanks inside quotes in the first, are read once.
    EXPECT_GE(readOnce, 3 + 3);
}

}  // namespace
}  // namespace palomix
