// The check of outputs against a corpus of small media files made here: "done" means the whole
// file can be played, "failed" that it cannot. Broken outputs come from a converter that exits
// 0 after copying a prepared file (the test helper "copy"); good ones from the shipped music
// command with the real ffmpeg. Each runs through palomix-batch with the helper palomix-probe,
// and the broken ones also with cores/ffprobe alone (the way where there is no helper).
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace palomix::e2e {
namespace {

namespace fs = std::filesystem;

const std::string kProgramFolder = PALOMIX_PROGRAM_DIR;
const std::string kFfmpeg = kProgramFolder + "/cores/ffmpeg";

class OutputCheckCorpusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!IsExecutable(kFfmpeg) || !IsExecutable(kProgramFolder + "/palomix-probe")) {
            return;
        }
        fs::create_directories(Folder() / "corpus");
        Make({"-f", "lavfi", "-i", "sine=duration=10", "-ac", "2"}, "input.wav");
        Make({"-i", Path("input.wav"), "-c:a", "libmp3lame", "-b:a", "192k"}, "cbr.mp3");
        Make({"-i", Path("input.wav"), "-c:a", "libmp3lame", "-q:a", "4"}, "vbr.mp3");
        Make({"-i", Path("input.wav"), "-c:a", "aac", "-movflags", "+faststart"}, "fast.m4a");
        Cut("cbr.mp3", "cbr cut.mp3", 30);
        Cut("vbr.mp3", "vbr cut.mp3", 30);
        Cut("fast.m4a", "fast cut.m4a", 50);
        std::mt19937 random(7);
        std::ofstream noise(Path("random.mp3"), std::ios::binary);
        for (int i = 0; i < 100 * 1024; ++i) {
            noise.put(static_cast<char>(random() & 0xFF));
        }
        // Quiet first, loud at the end, no Xing header: its header guesses 27 s for 20.
        Make({"-f", "lavfi", "-i", "anoisesrc=d=20:a=0.5", "-af",
              "volume='if(lt(t,17),0,1)':eval=frame", "-ac", "2", "-c:a", "libmp3lame", "-q:a", "2",
              "-write_xing", "0"},
             "no xing.mp3");
        // Six seconds of pictures whose sound stops at three.
        Make({"-f", "lavfi", "-i", "testsrc=d=6:s=160x120", "-f", "lavfi", "-i", "sine=d=3", "-c:v",
              "mpeg4", "-c:a", "aac"},
             "early sound.mp4");
        std::ofstream(Path("broken.ini"))
            << "[Item0]\nTitle=copy\nCommand0=\"\"" << PALOMIX_TEST_HELPER_DIR
            << "/test-helper-copy\" \"<%InputFile%>\" \"<%OutputFile%>.out\"\"\n";
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(Folder(), ignored);
    }
    void SetUp() override {
        if (!fs::exists(Path("input.wav"))) {
            GTEST_SKIP() << "no ffmpeg or palomix-probe in the program folder";
        }
    }

    static fs::path Folder() {
        return fs::temp_directory_path() / ("palomix-corpus-" + std::to_string(::getpid()));
    }
    static std::string Path(const std::string& name) {
        return (Folder() / "corpus" / name).string();
    }
    static void Make(std::vector<std::string> arguments, const std::string& name) {
        arguments.insert(arguments.begin(), {kFfmpeg, "-v", "error", "-y"});
        arguments.push_back(Path(name));
        ASSERT_EQ(RunProcess(arguments).exitCode, 0) << name;
    }
    static void Cut(const std::string& from, const std::string& to, int percent) {
        fs::copy_file(Path(from), Path(to), fs::copy_options::overwrite_existing);
        fs::resize_file(Path(to), fs::file_size(Path(from)) * static_cast<unsigned>(percent) / 100);
    }

    // Converts the file with the settings and command given, in the program folder given; the
    // line palomix-batch printed for the job.
    static std::string Convert(const std::string& file, const std::string& settings, int command,
                               const std::string& program = kProgramFolder) {
        const std::string out = (Folder() / "out").string();
        fs::remove_all(out);
        const ProcessOutput run =
            RunProcess({program + "/palomix-batch", "--settings", settings, "--command",
                        std::to_string(command), "--output", out, Path(file)});
        return run.err.substr(0, run.err.find('\n'));
    }
    // The same for a converter that exits 0 with the prepared file as its output.
    static std::string Copied(const std::string& file,
                              const std::string& program = kProgramFolder) {
        return Convert(file, Path("broken.ini"), 0, program);
    }
};

TEST_F(OutputCheckCorpusTest, BrokenOutputsOfConvertersThatExitWellFail) {
    EXPECT_EQ(Copied("input.wav").rfind("[1/1] input.wav: done (", 0), 0u);
    EXPECT_NE(Copied("random.mp3").find("failed (the output cannot be played to its end ("),
              std::string::npos);
    EXPECT_NE(Copied("cbr cut.mp3").find("failed (the output lasts 3.0 s, the input 10.0 s"),
              std::string::npos)
        << Copied("cbr cut.mp3");
    EXPECT_NE(Copied("vbr cut.mp3").find("failed (the output lasts 2."), std::string::npos)
        << Copied("vbr cut.mp3");
    EXPECT_NE(Copied("fast cut.m4a")
                  .find("failed (the output cannot be played to its end (it breaks off before its "
                        "end)"),
              std::string::npos)
        << Copied("fast cut.m4a");
}

TEST_F(OutputCheckCorpusTest, GoodOutputsPassWhateverTheirInputsHeadersClaim) {
    // music.ini command 0: MP3 192 kbps. The input's length is measured where its header only
    // guessed it, and a sound-only output is compared with the input's sound.
    EXPECT_EQ(Convert("no xing.mp3", "music.ini", 0).rfind("[1/1] no xing.mp3: done (", 0), 0u);
    EXPECT_EQ(Convert("early sound.mp4", "music.ini", 0).find("[1/1] early sound.mp4: done"), 0u)
        << Convert("early sound.mp4", "music.ini", 0);
}

TEST_F(OutputCheckCorpusTest, WithFfprobeAloneBrokenOutputsFailToo) {
    const fs::path program = Folder() / "program";
    fs::create_directories(program / "cores");
    fs::create_directories(program / "convert_settings");
    fs::copy_file(kProgramFolder + "/palomix-batch", program / "palomix-batch");
    fs::create_symlink(fs::canonical(kFfmpeg), program / "cores" / "ffmpeg");
    fs::create_symlink(fs::canonical(kProgramFolder + "/cores/ffprobe"),
                       program / "cores" / "ffprobe");
    for (const char* file : {"random.mp3", "cbr cut.mp3", "vbr cut.mp3"}) {
        EXPECT_NE(Copied(file, program.string()).find(": failed ("), std::string::npos)
            << Copied(file, program.string());
    }
    EXPECT_EQ(Copied("input.wav", program.string()).rfind("[1/1] input.wav: done (", 0), 0u);
}

// The helper itself on damaged files (and, in the sanitizer tree, built with the sanitizers):
// it answers every question, each with "end", and never dies.
TEST_F(OutputCheckCorpusTest, TheProbeHelperAnswersEveryQuestionAboutDamagedFiles) {
    const std::string zeros = Path("zeros.mp3");
    std::ofstream(zeros, std::ios::binary) << std::string(64 * 1024, '\0');
    // A WAV header that claims four gigabytes of sound, then nothing.
    std::string header = "RIFF\xff\xff\xff\xffWAVEfmt ";
    header += std::string("\x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0", 20);
    header += "data\xf0\xff\xff\xff";
    std::ofstream(Path("huge header.wav"), std::ios::binary) << header;
    std::string questions;
    const std::vector<std::string> files = {"random.mp3", "cbr cut.mp3",     "fast cut.m4a",
                                            "zeros.mp3",  "huge header.wav", "missing.wav",
                                            "input.wav"};
    for (const std::string& file : files) {
        for (const char* kind : {"length", "output"}) {
            questions += std::string(kind) + " " + std::to_string(Path(file).size()) + "\n" +
                         Path(file) + "\n";
        }
    }
    std::ofstream(Path("questions"), std::ios::binary) << questions;
    const ProcessOutput answers =
        RunProcess({kProgramFolder + "/palomix-probe"}, {}, Path("questions"));
    EXPECT_EQ(answers.exitCode, 0) << answers.err;
    std::size_t ends = 0;
    for (std::size_t at = 0; (at = answers.out.find("\nend\n", at)) != std::string::npos; ++at) {
        ++ends;
    }
    EXPECT_EQ(ends + (answers.out.rfind("end\n", 0) == 0 ? 1 : 0), files.size() * 2) << answers.out;
}

}  // namespace
}  // namespace palomix::e2e
