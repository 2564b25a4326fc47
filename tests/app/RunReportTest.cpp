// The texts of the status strip and of the failure list.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/AboutBox.h"
#include "app/ConverterReasons.h"
#include "app/RunReport.h"

namespace palomix {
namespace {

const RunTexts& English() {
    return RunTextsFor(Language::English);
}

CommandRecord Command(std::string line, CommandState state, ProcessExit exit = {},
                      std::vector<std::string> tail = {}) {
    CommandRecord record;
    record.commandLine = std::move(line);
    record.state = state;
    record.exit = exit;
    record.logTail = std::move(tail);
    return record;
}

JobResult Job(const std::string& path, JobOutcome outcome, std::vector<CommandRecord> commands) {
    JobResult result;
    result.path = path;
    result.outcome = outcome;
    result.commands = std::move(commands);
    return result;
}

JobResult Failed(const std::string& path) {
    return Job(path, JobOutcome::Failed,
               {Command("ffmpeg -i in out", CommandState::Failed, {ProcessExit::Kind::Signalled, 9},
                        {"line one", "last line"})});
}

TEST(RunReportTest, StatusShowsTheJobCountAndFailures) {
    RunReport report;
    EXPECT_EQ(RunStatusText(report, false, 0, English()), "");
    EXPECT_EQ(RunStatusText(report, true, 3, English()), "Converting: 3 job(s) left");
    report.JobEnded(Job("/ok", JobOutcome::Done, {Command("x", CommandState::Succeeded)}));
    EXPECT_EQ(report.FailureCount(), 0);
    report.JobEnded(
        Job("/stopped", JobOutcome::Stopped, {Command("sleep 9", CommandState::Stopped)}));
    report.JobEnded(Failed("/bad"));
    EXPECT_EQ(RunStatusText(report, true, 1, English()),
              "Converting: 1 job(s) left  1 failed, 1 stopped (click for details)");
    EXPECT_EQ(RunStatusText(report, false, 0, RunTextsFor(Language::Japanese)),
              "変換 1 件、失敗 1 件、中止 1 件 (クリックで詳細)");
    // A new batch counts afresh; the list stays until it is cleared, pointed to only once the
    // batch is over.
    report.Reset();
    EXPECT_EQ(report.FailureCount(), 2);
    EXPECT_EQ(RunStatusText(report, true, 1, English()), "Converting: 1 job(s) left");
    EXPECT_EQ(RunStatusText(report, false, 0, English()),
              "Earlier failures wait in the list (click for details)");
    report.ClearFailures();
    EXPECT_EQ(RunStatusText(report, false, 0, English()), "");
}

TEST(RunReportTest, ALaunchFailureIsShownUntilACommandStarts) {
    RunReport report;
    CommandRecord refused = Command("x -y", CommandState::NotLaunched);
    refused.launchFailure = LaunchFailure{LaunchError::ProgramNotFound, "x", 0, {}};
    report.JobEnded(Job("/a.avi", JobOutcome::NotStarted, {refused}));
    EXPECT_EQ(RunStatusText(report, false, 2, English()),
              "Cannot start: the program \"x\" was not found");
    EXPECT_EQ(RunStatusText(report, false, 2, RunTextsFor(Language::Japanese)),
              "起動できません: プログラム \"x\" が見つかりません");
    report.CommandStarted();
    EXPECT_EQ(RunStatusText(report, true, 2, English()),
              "Converting: 2 job(s) left (click for details)");
}

TEST(RunReportTest, FailureListNamesFileCommandEndAndOutput) {
    RunReport report;
    report.JobEnded(Failed("/v/bad clip.avi"));
    report.JobEnded(
        Job("/v/long.avi", JobOutcome::Stopped,
            {Command("ok", CommandState::Succeeded), Command("sleep 9", CommandState::Stopped)}));
    CommandRecord psp = Command("conv \".MP4\"", CommandState::NotRun);
    psp.notRun = NotRun{NotRunReason::PlayerNotAttached, "PSP", 0};
    JobResult nothing = Job("/v/none.avi", JobOutcome::Failed, {});
    nothing.problem = JobProblem::NothingToRun;
    report.JobEnded(Job("/v/psp.avi", JobOutcome::Failed, {psp}));
    report.JobEnded(nothing);
    EXPECT_EQ(FailureListText(report, English()),
              "File: /v/bad clip.avi\n"
              "Command line: ffmpeg -i in out\n"
              "Result: signal 9\n"
              "Last output:\n"
              "    line one\n"
              "    last line\n"
              "\n"
              "File: /v/long.avi\n"
              "Command line: sleep 9\n"
              "Result: stopped\n"
              "\n"
              "File: /v/psp.avi\n"
              "Command line: conv \".MP4\"\n"
              "Result: not run: no PSP is attached\n"
              "\n"
              "File: /v/none.avi\n"
              "Result: the command has no command line to run\n");
}

TEST(RunReportTest, PathsNotAddedAreCountedAndListedWithTheirReason) {
    RunReport report;
    report.PathsNotAdded({SkippedPath{"/gone.avi", SkipReason::NotFound, 0},
                          SkippedPath{"/locked", SkipReason::Unreadable, EACCES},
                          SkippedPath{"/deep/x.avi", SkipReason::TooLong, 0}});
    report.JobEnded(Job("/ok", JobOutcome::Done, {Command("x", CommandState::Succeeded)}));
    EXPECT_EQ(RunStatusText(report, false, 0, English()),
              "1 converted, 3 not added (click for details)");
    EXPECT_EQ(RunStatusText(report, false, 0, RunTextsFor(Language::Japanese)),
              "変換 1 件、追加できず 3 件 (クリックで詳細)");
    EXPECT_EQ(FailureListText(report, English()),
              "File: /gone.avi\nResult: not added: not found\n\n"
              "File: /locked\nResult: not added: the folder cannot be read (access denied)\n\n"
              "File: /deep/x.avi\n"
              "Result: not added: the path is too long for a converter to open\n");
    EXPECT_NE(FailureListText(report, RunTextsFor(Language::Japanese))
                  .find("追加できません: フォルダを読めません (アクセスが拒否されました)"),
              std::string::npos);
}

TEST(RunReportTest, ConvertAgainTakesTheFailedAndStoppedFilesAndLeavesTheRest) {
    RunReport report;
    report.PathsNotAdded({SkippedPath{"/gone.avi", SkipReason::NotFound, 0}});
    report.JobEnded(Failed("/bad.avi"));
    report.JobEnded(
        Job("/stopped.avi", JobOutcome::Stopped, {Command("s", CommandState::Stopped)}));
    CommandRecord refused = Command("x", CommandState::NotLaunched);
    refused.launchFailure = LaunchFailure{LaunchError::ProgramNotFound, "x", 0, {}};
    JobResult notStarted = Job("/waits.avi", JobOutcome::NotStarted, {refused});
    notStarted.id = 7;
    report.JobEnded(notStarted);
    report.JobEnded(notStarted);  // tried again: still one entry
    EXPECT_EQ(report.FailureCount(), 4);
    // Tried again in the next batch: the entry is that batch's now.
    report.Reset();
    report.JobEnded(notStarted);
    EXPECT_EQ(report.BatchEntries(), 1);
    EXPECT_EQ(report.EarlierEntries(), 3);

    EXPECT_TRUE(report.HasFilesToConvertAgain());
    EXPECT_EQ(report.TakeFilesToConvertAgain(),
              (std::vector<std::string>{"/bad.avi", "/stopped.avi"}));
    EXPECT_FALSE(report.HasFilesToConvertAgain());
    ASSERT_EQ(report.FailedJobs().size(), 1u);
    EXPECT_EQ(report.FailedJobs()[0].path, "/waits.avi");
    // The job that could not start converts in the end: it leaves the list.
    JobResult done = Job("/waits.avi", JobOutcome::Done, {Command("x", CommandState::Succeeded)});
    done.id = 7;
    report.JobEnded(done);
    EXPECT_EQ(report.FailedJobs().size(), 0u);
    EXPECT_EQ(report.NotAdded().size(), 1u);
}

TEST(RunReportTest, TheWindowsWordsForACantStartReasonAndATimeLimit) {
    const LaunchFailure denied{LaunchError::SystemError, "/opt/x", EACCES, "Permission denied"};
    EXPECT_EQ(LaunchFailureWords(denied, RunTextsFor(Language::Japanese)),
              "プログラム \"/opt/x\" を起動できませんでした (アクセスが拒否されました)");
    EXPECT_EQ(LaunchFailureWords(denied, English()),
              "the program \"/opt/x\" could not be started (access denied)");
    EXPECT_EQ(SystemErrorWords(ENOEXEC, English()), "not a program that can be run");
    EXPECT_EQ(SystemErrorWords(EIO, RunTextsFor(Language::Japanese)),
              "システムエラー " + std::to_string(EIO));
    CommandRecord slow =
        Command("x", CommandState::Failed, {ProcessExit::Kind::Signalled, 9, true});
    EXPECT_EQ(CommandEndWords(slow, English()), "signal 9 (stopped at the time limit)");
}

TEST(RunReportTest, ACheckedOutputsReasonCarriesItsLengthsAndAnUncheckedBatchSaysSo) {
    JobResult cut = Job("/in.mp4", JobOutcome::Failed, {Command("x", CommandState::Succeeded)});
    cut.problem = JobProblem::OutputTooShort;
    cut.problemSubject = "/out/in.mp4";
    cut.lengths = OutputLengths{4.06, 20};
    RunReport report;
    report.JobEnded(cut);
    EXPECT_NE(FailureListText(report, English())
                  .find("Result: the output lasts 4.1 s, the input 20.0 s: /out/in.mp4"),
              std::string::npos);
    EXPECT_NE(FailureListText(report, RunTextsFor(Language::Japanese))
                  .find("結果: 出力の長さが 4.1 秒しかありません (入力は 20.0 秒): /out/in.mp4"),
              std::string::npos);
    EXPECT_EQ(ConverterNeedWords({ConverterNeed::Kind::Encoder, "libfaac"}, English()),
              "needs the encoder libfaac, which this ffmpeg does not have");

    report.Reset();
    report.ClearFailures();
    JobResult done = Job("/in.mp4", JobOutcome::Done, {Command("x", CommandState::Succeeded)});
    done.outputsNotChecked = true;
    report.JobEnded(done);
    EXPECT_EQ(RunStatusText(report, false, 0, English()),
              "1 converted (outputs not checked: no ffprobe in cores)");
}

TEST(ConverterReasonsTest, FfmpegsLastLinesGiveASentenceAboveThemInBothLanguages) {
    const std::vector<std::pair<std::string, ConverterProblem>> lines = {
        {"Stream map '0:V:0' matches no streams.", ConverterProblem::NoMatchingStream},
        {"Output file #0 does not contain any stream", ConverterProblem::NoMatchingStream},
        {"missing.mp4: No such file or directory", ConverterProblem::NoSuchFile},
        {"bad.mp4: Invalid data found when processing input", ConverterProblem::InvalidData},
        {"ro/out.mp3: Permission denied", ConverterProblem::PermissionDenied},
        {"Error writing trailer of /m/x.mp4: No space left on device", ConverterProblem::DiskFull},
        {"Unknown encoder 'libfdk_aac'", ConverterProblem::EncoderMissing},
        {"[Parsed_zscale_4 @ 0x1] code 3074: no path between colorspaces",
         ConverterProblem::UnknownColours},
    };
    for (const auto& [line, problem] : lines) {
        const std::optional<ConverterReason> reason =
            RecogniseConverterOutput({"frame=  1 fps=0.0 q=0.0 size=0kB", line});
        ASSERT_TRUE(reason.has_value()) << line;
        EXPECT_EQ(reason->problem, problem) << line;
        for (const Language language : {Language::Japanese, Language::English}) {
            EXPECT_FALSE(ConverterReasonWords(*reason, RunTextsFor(language)).empty()) << line;
        }
    }
    EXPECT_EQ(RecogniseConverterOutput({"Unknown encoder 'libfdk_aac'"})->subject, "libfdk_aac");
    EXPECT_FALSE(RecogniseConverterOutput({"Conversion failed!", "something else"}));
    // A full disk explains the broken output that follows it.
    EXPECT_EQ(RecogniseConverterOutput({"out.mp4: Invalid data found when processing input",
                                        "Error closing file: No space left on device"})
                  ->problem,
              ConverterProblem::DiskFull);

    RunReport report;
    report.JobEnded(Job("/v/song.mp3", JobOutcome::Failed,
                        {Command("ffmpeg -i song.mp3 out.mp4", CommandState::Failed, {},
                                 {"Stream map '0:V:0' matches no streams."})}));
    const std::string list = FailureListText(report, English());
    EXPECT_NE(list.find("Result: exit code 0\nReason: This command needs a kind of stream the "
                        "file does not have"),
              std::string::npos)
        << list;
    EXPECT_LT(list.find("Reason:"), list.find("Last output:"));
}

TEST(AboutBoxTest, TheConverterVersionAndItsLicenceComeFromItsOwnWords) {
    const std::optional<ConverterVersion> version =
        ConverterVersion{"5.1.6-0+deb12u1", ConverterVersion::Licence::Gpl2};
    AboutFacts facts;
    facts.version = "1.2.3";
    facts.converter = ConverterFacts{ConverterFacts::State::Known, *version, "ffprobe per file"};
    facts.programFolder = "/opt/palomix";
    facts.stateFile = "/home/u/.config/palomix/Palomix.ini";
    facts.settingsFolders = {"/opt/palomix/convert_settings",
                             "/home/u/.config/palomix/convert_settings"};
    const std::string english = AboutText(facts, AboutTextsFor(Language::English));
    for (const char* part :
         {"Version 1.2.3", "Licence: not stated in this build",
          "ffmpeg in cores: 5.1.6-0+deb12u1 (GPL version 2 or later)",
          "Media probe: ffprobe per file", "State file: /home/u/.config/palomix/Palomix.ini",
          "    /home/u/.config/palomix/convert_settings"}) {
        EXPECT_NE(english.find(part), std::string::npos) << part << "\n" << english;
    }
    facts.licence = "MIT";
    facts.converter = ConverterFacts{ConverterFacts::State::Unreadable, std::nullopt, ""};
    const std::string japanese = AboutText(facts, AboutTextsFor(Language::Japanese));
    for (const char* part : {"ライセンス: MIT", "cores の ffmpeg: 応答がありません",
                             "メディアの調べ方: なし (出力は確かめられません)"}) {
        EXPECT_NE(japanese.find(part), std::string::npos) << part << "\n" << japanese;
    }
}

}  // namespace
}  // namespace palomix
