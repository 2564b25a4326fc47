// The checks around a conversion: a command is compared with what the local ffmpeg offers
// before its jobs start, and a done job's outputs are probed before they count. The rules on
// their own first, then the run through the core's door with a fake launcher that answers as
// ffmpeg and ffprobe would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/ConverterFeatures.h"
#include "engine/OutputCheck.h"
#include "platform/CommandLineSplit.h"

namespace palomix {
namespace {

using Need = ConverterNeed;
using Kind = ConverterNeed::Kind;

// Excerpts of what ffmpeg 5.1 prints for -encoders and -muxers.
constexpr const char* kEncoders =
    "Encoders:\n V..... = Video\n A..... = Audio\n ------\n"
    " V....D libx264              libx264 H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10 (codec h264)\n"
    " A....D aac                  AAC (Advanced Audio Coding)\n"
    " S..... mov_text             3GPP Timed Text subtitle\n";
constexpr const char* kMuxers =
    "File formats:\n D. = Demuxing supported\n .E = Muxing supported\n --\n"
    "  E mp4             MP4 (MPEG-4 Part 14)\n"
    "  E sdl,sdl2        SDL2 output device\n"
    " D  lavfi           Libavfilter virtual input device\n";

std::filesystem::path Fs(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::vector<std::string> Words(const std::string& line) {
    return SplitArguments(line);
}

TEST(ConverterNeedsTest, TheOutputsEncodersAndFormatsCountOnceAndAnInputsOptionsNot) {
    EXPECT_EQ(NeedsOfArguments(Words(
                  "-y -f lavfi -i anullsrc -c:v h264 -i in.mp4 -c:v:0 libx264 -codec:a aac "
                  "-acodec libfaac -c copy -c:a copy -scodec mov_text -vcodec libx264 -f mp4 o")),
              (std::vector<Need>{{Kind::Encoder, "libx264"},
                                 {Kind::Encoder, "aac"},
                                 {Kind::Encoder, "libfaac"},
                                 {Kind::Encoder, "mov_text"},
                                 {Kind::Format, "mp4"}}));
    EXPECT_TRUE(NeedsOfArguments(Words("-i in.wav out.wav -f")).empty());  // no value: nothing
}

TEST(ConverterNeedsTest, FfmpegsListsGiveEncodersWithTheirCodecsAndWritableFormats) {
    const std::optional<NameSet> encoders = EncodersInList(kEncoders);
    ASSERT_TRUE(encoders);
    EXPECT_EQ(*encoders, (NameSet{"aac", "h264", "libx264", "mov_text"}));
    const std::optional<NameSet> formats = FormatsInList(kMuxers);
    ASSERT_TRUE(formats);
    EXPECT_EQ(*formats, (NameSet{"mp4", "sdl", "sdl2"}));
    // Anything else is no list, so nothing can be said missing.
    EXPECT_FALSE(EncodersInList("ffmpeg version 9.9-test\nUnrecognized option 'encoders'.\n"));
    EXPECT_FALSE(FormatsInList(""));

    const ConverterFeatures features{*encoders, *formats};
    EXPECT_EQ(MissingNeeds({{Kind::Encoder, "h264"},
                            {Kind::Encoder, "libfaac"},
                            {Kind::Format, "mp4"},
                            {Kind::Format, "psp"},
                            {Kind::Encoder, "libfaac"}},
                           features),
              (std::vector<Need>{{Kind::Encoder, "libfaac"}, {Kind::Format, "psp"}}));
}

TEST(ConverterNeedsTest, TheVersionAndItsLicenceComeFromFfmpegsOwnWords) {
    const std::string output =
        "ffmpeg version 5.1.6-0+deb12u1 Copyright (c) 2000-2024 the FFmpeg developers\n"
        "built with gcc 12 (Debian 12.2.0-14)\n"
        "configuration: --prefix=/usr --enable-gpl --disable-stripping --enable-gnutls\n"
        "libavutil      57. 28.100 / 57. 28.100\n";
    std::optional<ConverterVersion> version = ParseConverterVersion(output);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->version, "5.1.6-0+deb12u1");
    EXPECT_EQ(version->licence, ConverterVersion::Licence::Gpl2);
    EXPECT_EQ(ParseConverterVersion("ffmpeg version n7.0\r\nconfiguration: --enable-gpl "
                                    "--enable-version3\r\n")
                  ->licence,
              ConverterVersion::Licence::Gpl3);
    EXPECT_EQ(ParseConverterVersion("ffmpeg version 6\nconfiguration: --enable-gplx\n")->licence,
              ConverterVersion::Licence::Lgpl21);
    EXPECT_EQ(ParseConverterVersion("ffmpeg version 6\n")->licence,
              ConverterVersion::Licence::Unknown);
    EXPECT_FALSE(ParseConverterVersion("sh: ffmpeg: not found\n"));
}

// An answer of the probe about a file of one format, with streams of these kinds whose last
// packets end at these times.
std::string Probed(const std::string& format,
                   const std::vector<std::pair<std::string, double>>& streams,
                   const std::string& header = "10") {
    std::string text;
    for (const auto& [kind, end] : streams) {
        text += "codec_type=" + kind + "\nduration=" + header +
                "\nend_time=" + std::to_string(end) + "\n";
    }
    return text + "format_name=" + format + "\nduration=" + header + "\n";
}

TEST(OutputJudgementTest, ARecordingMustLastNearlyAsLongAsItsInputUnlessItIsMeantShorter) {
    const auto judge = [](const std::string& answer, const std::string& line,
                          InputLengths input = {10.0, 10.0, 10.0}) {
        const std::vector<std::string> words = Words(line);
        return JudgeOutput(ReadProbeAnswer(answer, true), input, LengthLimitOfArguments(words),
                           MadeKindsOfArguments(words));
    };
    EXPECT_EQ(judge(Probed("mp3", {{"audio", 9.6}}), "").problem, JobProblem::None);
    const OutputVerdict short_ = judge(Probed("mp3", {{"audio", 9.4}}), "");
    EXPECT_EQ(short_.problem, JobProblem::OutputTooShort);
    EXPECT_EQ(short_.lengths, (OutputLengths{9.4, 10.0}));
    // The last packet counts, not what the header claims.
    EXPECT_EQ(judge(Probed("mp3", {{"audio", 3.0}}, "10.03"), "").problem,
              JobProblem::OutputTooShort);
    // A cover picture's one frame does not make the song meant short; -t does.
    const std::string song = Probed("mp3", {{"audio", 4}}) +
                             "index=1\ncodec_type=video\n"
                             "DISPOSITION:attached_pic=1\n";
    EXPECT_EQ(judge(song, "-frames:v 1").problem, JobProblem::OutputTooShort);
    EXPECT_EQ(judge(song, "-frames:v 1 -t 4").problem, JobProblem::None);
    // A sound-only output is compared with the input's sound.
    EXPECT_EQ(judge(Probed("mp3", {{"audio", 3.0}}), "", {6.0, 3.0, 6.0}).problem,
              JobProblem::None);
    // Pictures, by format; a video cut to a fraction of a second is no picture.
    EXPECT_EQ(judge(Probed("image2", {{"video", 0.04}}), "").problem, JobProblem::None);
    EXPECT_EQ(judge("codec_type=video\nformat_name=webp_pipe\nduration=N/A\n", "").problem,
              JobProblem::None);
    EXPECT_EQ(judge(Probed("mov", {{"video", 0.3}}), "").problem, JobProblem::OutputTooShort);
    EXPECT_EQ(judge(Probed("mov", {{"video", 0.3}}), "-vframes 9").problem, JobProblem::None);
    // Without the input's length only readability counts.
    EXPECT_EQ(judge(Probed("mp3", {{"audio", 1}}), "", {}).problem, JobProblem::None);
}

TEST(OutputJudgementTest, WhatCannotBePlayedToTheEndIsUnreadableAndSaysWhy) {
    const auto fault = [](const std::string& answer, const std::string& line = "",
                          bool ended = true) {
        const std::vector<std::string> words = Words(line);
        const OutputVerdict verdict =
            JudgeOutput(ReadProbeAnswer(answer, ended), InputLengths{10.0, {}, {}},
                        LengthLimitOfArguments(words), MadeKindsOfArguments(words));
        EXPECT_EQ(verdict.problem, JobProblem::OutputUnreadable) << answer;
        return verdict.fault;
    };
    EXPECT_EQ(fault("[mp3 @ 0x1] Invalid data\n"), OutputFault::NotMedia);
    EXPECT_EQ(fault(Probed("mp3", {{"audio", 10}}), "", false), OutputFault::NotMedia);
    // Random bytes that a demuxer takes for a song: no packet with a time.
    EXPECT_EQ(fault("codec_type=audio\nduration=N/A\nend_time=N/A\nformat_name=mp3\n"),
              OutputFault::NoLength);
    EXPECT_EQ(fault(Probed("mp3", {{"audio", 10}}) + "read_to_end=0\n"), OutputFault::Cut);
    EXPECT_EQ(fault(Probed("mp4", {{"video", 10}}), "-vn"), OutputFault::NoStream);
    EXPECT_EQ(fault(Probed("mp4", {{"subtitle", 10}})), OutputFault::NoStream);
    // ffprobe's packets tell the ends of their streams.
    const ProbedMedia listed = ReadProbeAnswer(
        "stream_index=0\npts_time=9.5\nduration_time=0.5\nstream_index=1\npts_time=4.0\n"
        "index=0\ncodec_type=audio\nduration=10\nindex=1\ncodec_type=video\n"
        "DISPOSITION:attached_pic=1\nformat_name=mp3\nduration=10.0\n",
        true);
    EXPECT_EQ(listed.EndOf("audio"), 10.0);
    EXPECT_TRUE(listed.HasAudio());
    EXPECT_FALSE(listed.HasVideo());  // a cover
    EXPECT_EQ(listed.duration, 10.0);
}

// An engine over a fake launcher in a program folder of the test's own, whose cores hold the
// files the test names. The fake answers as ffmpeg and ffprobe do: the lists above, an input of
// ten seconds, `outputAnswer` for an output; the converter "conv" writes its last argument.
class CheckedRunTest : public ::testing::Test {
protected:
    void Make(const std::vector<std::string>& cores) {
        std::filesystem::create_directories(Fs(program + "/cores"));
        for (const std::string& name : cores) {
            std::ofstream(Fs(CoresProgram(program, name, NativePathStyle()))) << "x";
        }
        launcher.logFolder = temp.MakeFolder("logs");
        launcher.logText = [this](const std::string& line) { return Answer(line); };
        EngineSetup setup;
        setup.programFolder = program;
        setup.devices = std::make_unique<testing::DevicesRef>(devices);
        setup.makeLauncher = [this](PostToHost) {
            return std::make_unique<testing::LauncherRef>(launcher);
        };
        engine = std::make_unique<Engine>(std::move(setup), [](std::function<void()>) {});
        engine->SetOutputFolder(out);
        engine->SetObserver(&observer);
        engine->UseCommand(ChosenCommand{settings, 0});
    }

    std::string Answer(const std::string& line) const {
        if (line.find(" -encoders") != std::string::npos) {
            return lists ? kEncoders : "";
        }
        if (line.find(" -muxers") != std::string::npos) {
            return lists ? kMuxers : "";
        }
        if (line.find("packet=") != std::string::npos) {
            return outputAnswer;
        }
        if (line.find("format_name,duration") != std::string::npos) {
            return Probed("wav", {{"audio", 10.0}});
        }
        if (line.starts_with("conv ")) {
            std::ofstream(Fs(Words(line).back())) << "new";
        }
        return {};
    }

    void WriteSettings(const std::vector<std::string>& items) const {
        std::ofstream file(settings);
        for (std::size_t item = 0; item < items.size(); ++item) {
            file << "[Item" << item << "]\nTitle=t\nCommand0=" << items[item] << "\n";
        }
    }

    // Ends every process, the oldest first, until none runs.
    void RunAll() {
        while (launcher.Running() > 0) {
            launcher.Finish(launcher.RunningLines().front());
        }
    }

    std::string Read(const std::string& path) const {
        std::ifstream file(Fs(path));
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Fs(out))) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    testing::TempFolder temp;
    std::string program = temp.MakeFolder("program");
    std::string out = temp.MakeFolder("out");
    std::string settings = temp.Path("s.ini");
    std::string input = temp.Path("a.wav");
    testing::FakeLauncher launcher;
    testing::FakeDevices devices;
    testing::RecordingObserver observer;
    std::unique_ptr<Engine> engine;
    bool lists = true;
    std::string outputAnswer;
};

TEST_F(CheckedRunTest, ACutOutputFailsItsJobAndLeavesTheEarlierOutputWhileMeantShortOnesPass) {
    WriteSettings({R"(conv "<%InputFile%>" "<%OutputFile%>.m4a")",
                   R"(conv "<%InputFile%>" -t 5 "<%OutputFile%>.m4a")",
                   R"(conv "<%InputFile%>" "<%OutputFile%>.jpg")"});
    Make({"ffmpeg", "ffprobe"});
    std::ofstream(Fs(input)) << "in";
    std::ofstream(Fs(out + "/a.m4a")) << "old";
    const std::string cut = Probed("ipod", {{"audio", 1.0}});
    const std::vector<std::string> one{input};

    outputAnswer = cut;
    engine->AddFiles(one);
    engine->StartRun();
    RunAll();
    ASSERT_EQ(observer.finished.size(), 1u);
    const JobResult& failed = observer.finished[0];
    EXPECT_EQ(failed.outcome, JobOutcome::Failed);
    EXPECT_EQ(failed.problem, JobProblem::OutputTooShort);
    EXPECT_EQ(failed.problemSubject,
              out + (NativePathStyle() == PathStyle::Windows ? "\\" : "/") + "a.m4a");
    EXPECT_EQ(failed.lengths, (OutputLengths{1.0, 10.0}));
    EXPECT_EQ(Read(out + "/a.m4a"), "old");
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"a.m4a"});  // no temporary file left

    engine->UseCommand(ChosenCommand{settings, 1});  // -t 5: meant short
    engine->AddFiles(one);
    engine->StartRun();
    RunAll();
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Done);
    EXPECT_EQ(Read(out + "/a.m4a"), "new");

    outputAnswer = Probed("image2", {{"video", 0.04}});
    engine->UseCommand(ChosenCommand{settings, 2});  // a single picture
    engine->AddFiles(one);
    engine->StartRun();
    RunAll();
    EXPECT_EQ(observer.finished.back().outcome, JobOutcome::Done);
    EXPECT_FALSE(observer.finished.back().outputsNotChecked);
    EXPECT_EQ(Read(out + "/a.jpg"), "new");
}

TEST_F(CheckedRunTest, StopDuringTheCheckStopsTheJobAndRemovesWhatItWrote) {
    WriteSettings({R"(conv "<%InputFile%>" "<%OutputFile%>.m4a")"});
    Make({"ffmpeg", "ffprobe"});
    const std::vector<std::string> one{input};
    engine->AddFiles(one);
    engine->StartRun();
    launcher.Finish(launcher.RunningLines().front());  // the encoders
    launcher.Finish(launcher.RunningLines().front());  // the formats
    launcher.Finish(launcher.RunningLines().front());  // the version
    const std::vector<std::string> running = launcher.RunningLines();
    ASSERT_EQ(running.size(), 2u);  // the input's length, asked for at the start, and the line
    launcher.Finish(running[1]);
    ASSERT_TRUE(observer.finished.empty());  // the check waits for that length

    engine->StopHead();
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Stopped);
    EXPECT_EQ(observer.finished[0].commands.size(), 1u);  // the line, which had succeeded
    launcher.Finish(running[0], ProcessExit{ProcessExit::Kind::Signalled, 15});
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_FALSE(engine->RunActive());
}

TEST_F(CheckedRunTest, WithoutFfprobeBesideFfmpegADoneJobSaysItsOutputsWereNotChecked) {
    WriteSettings({R"(conv "<%InputFile%>" "<%OutputFile%>.m4a")"});
    lists = false;  // an ffmpeg whose lists cannot be read checks no command either
    Make({"ffmpeg"});
    const std::vector<std::string> one{input};
    engine->AddFiles(one);
    engine->StartRun();
    RunAll();
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Done);
    EXPECT_TRUE(observer.finished[0].outputsNotChecked);
    EXPECT_EQ(Read(out + "/a.m4a"), "new");
    EXPECT_EQ(engine->CommandNeeds(ChosenCommand{settings, 0}).state,
              CommandCheck::State::NotChecked);
}

TEST_F(CheckedRunTest, ACommandNeedingWhatFfmpegLacksFailsItsJobsBeforeAnyLineRuns) {
    const std::string ffmpeg = R"(""<%AppPath%>\cores\ffmpeg" -i "<%InputFile%>" )";
    WriteSettings({ffmpeg + R"(-acodec aac "<%OutputFile%>.m4a"")",  // made into libfaac
                   ffmpeg + R"(-c:a aac -f psp "<%OutputFile%>.mp4"")",
                   ffmpeg + R"(-c:v h264 -c:a aac -f mp4 "<%OutputFile%>.mp4"")"});
    Make({"ffmpeg", "ffprobe"});
    const std::vector<std::string> two{input, temp.Path("b.wav")};
    engine->AddFiles(two);
    engine->StartRun();
    // The jobs wait while ffmpeg's two lists and its version are read, all at once.
    EXPECT_TRUE(engine->RunActive());
    EXPECT_EQ(launcher.RunningLines().size(), 3u);
    EXPECT_EQ(engine->CommandNeeds(ChosenCommand{settings, 1}).state, CommandCheck::State::Reading);
    RunAll();
    EXPECT_EQ(observer.converterChecks, 1);
    EXPECT_EQ(launcher.processes.size(), 3u);  // nothing but the lists and the version
    ASSERT_EQ(observer.finished.size(), 2u);
    for (const JobResult& result : observer.finished) {
        EXPECT_EQ(result.outcome, JobOutcome::Failed);
        EXPECT_EQ(result.problem, JobProblem::EncoderMissing);
        EXPECT_EQ(result.problemSubject, "libfaac");
        EXPECT_TRUE(result.commands.empty());
    }
    EXPECT_FALSE(engine->RunActive());

    const auto missing = [this](int item) {
        const CommandCheck check = engine->CommandNeeds(ChosenCommand{settings, item});
        EXPECT_EQ(check.state, CommandCheck::State::Checked);
        return check.missing;
    };
    EXPECT_EQ(missing(1), (std::vector<Need>{{Kind::Format, "psp"}}));
    EXPECT_TRUE(missing(2).empty());
    EXPECT_EQ(launcher.processes.size(), 3u);  // the lists are kept while ffmpeg stays
}

// Stopping everything just after a job's last line ended: its outputs are not checked and so
// not kept; the job counts as stopped.
TEST_F(CheckedRunTest, StopAllJustAfterTheLastLineEndedStopsTheJobBeforeItsCheck) {
    WriteSettings({R"(conv "<%InputFile%>" "<%OutputFile%>.m4a")"});
    Make({"ffmpeg", "ffprobe"});
    const std::vector<std::string> one{input};
    engine->AddFiles(one);
    engine->StartRun();
    for (int list = 0; list < 3; ++list) {
        launcher.Finish(launcher.RunningLines().front());  // the lists and the version
    }
    launcher.Exit();  // the line, whose end has not come yet
    engine->StopAll();
    launcher.Deliver();
    RunAll();
    ASSERT_EQ(observer.finished.size(), 1u);
    EXPECT_EQ(observer.finished[0].outcome, JobOutcome::Stopped);
    EXPECT_TRUE(OutFiles().empty());
    EXPECT_FALSE(engine->RunActive());
}

}  // namespace
}  // namespace palomix
