#include "settings/StateFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace palomix {
namespace {

namespace fs = std::filesystem;

const std::string kNihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // "日本" in UTF-8

class StateFileTest : public ::testing::Test {
protected:
    fs::path root;
    std::string path;

    void SetUp() override {
        std::random_device random;
        root = fs::temp_directory_path() / ("palomix-state-" + std::to_string(random()));
        fs::create_directories(root);
        path = StateFilePath(root.string());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    void Put(const std::string& bytes) const { std::ofstream(path, std::ios::binary) << bytes; }
    std::string Get() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    StoredState Read() const {
        IniReader reader;
        return ReadApplicationState(reader, path);
    }
};

// A folder too long to read back whole is never restored cut (the cut folder is another
// folder, which the next conversion would create), and the save says so.
TEST_F(StateFileTest, OutputFolderTooLongToReadBackIsReportedAndNotRestored) {
    ApplicationState state;
    state.outputFolder = "/" + std::string(2046, 'd');
    EXPECT_EQ(SaveApplicationState(path, state), StateSaveReport{});
    EXPECT_EQ(Read().outputFolder, state.outputFolder);

    state.outputFolder += "d";
    EXPECT_EQ(SaveApplicationState(path, state), StateSaveReport{true});
    const StoredState stored = Read();
    EXPECT_EQ(stored.outputFolder, std::nullopt);
    EXPECT_EQ(stored.left, 20);  // the rest is restored
}

// One stray byte in a UTF-8 state file spoils its own line only: the Japanese output folder
// reads back right, and a save does not make mojibake of it or change the stray line.
TEST_F(StateFileTest, StrayByteSpoilsNeitherTheFolderNorTheNextSave) {
    const std::string stray = "[Other]\r\nnote=caf\xE9\r\n";
    Put(stray + "[SET]\r\nBE1=/home/" + kNihon + "\r\n");
    ApplicationState state;
    state.outputFolder = Read().outputFolder.value();
    EXPECT_EQ(state.outputFolder, "/home/" + kNihon);
    SaveApplicationState(path, state);
    EXPECT_EQ(Read().outputFolder, "/home/" + kNihon);
    EXPECT_TRUE(Get().starts_with(stray)) << Get();
}

// The run choices come back as saved; a value the program does not know (a number out of the
// menu's range, an unknown word, a flag that is no integer) gives that choice's default and
// leaves the others alone.
TEST_F(StateFileTest, RunChoicesComeBackAndUnknownValuesGiveTheirDefaults) {
    ApplicationState state;
    state.run =
        RunChoices{0, ExistingOutputChoice::KeepBoth, true, true, QueueDoneAction::ShutDown};
    SaveApplicationState(path, state);
    EXPECT_EQ(Read().run, state.run);
    state.run = RunChoices{kMostSimultaneousJobs, ExistingOutputChoice::Skip, false, true,
                           QueueDoneAction::Sound};
    SaveApplicationState(path, state);
    EXPECT_EQ(Read().run, state.run);

    // Words in any letter case.
    Put("[SET]\nJOBS=3\nEXISTING=Skip\nWHEN_DONE=SUSPEND\n");
    EXPECT_EQ(Read().run,
              (RunChoices{3, ExistingOutputChoice::Skip, false, false, QueueDoneAction::Suspend}));
    Put("[SET]\nJOBS=5\nEXISTING=replace\nKEEP_DATES=yes\nKEEP_TREE=1\nWHEN_DONE=\n");
    EXPECT_EQ(Read().run, (RunChoices{1, ExistingOutputChoice::Overwrite, false, true,
                                      QueueDoneAction::Nothing}));
    Put("[SET]\nJOBS=-1\n");
    EXPECT_EQ(Read().run, RunChoices{});
}

// A file of an older version keeps every byte of its own; the choices go after its keys, in
// their section, and a newer file read the old way gives the same seven values.
TEST_F(StateFileTest, AnOlderFileKeepsItsBytesAndGetsTheChoicesAfterItsKeys) {
    const std::string seven =
        "[SET]\r\nM_LEFT=20\r\nM_TOP=20\r\nB1=1\r\nB2=0\r\nMC1=-1\r\n"
        "MC2=-1\r\nBE1=\r\n";
    const std::string other = "[Other]\r\nnote=1\r\n";
    Put(seven + other);
    SaveApplicationState(path, ApplicationState{});
    const std::string saved = Get();
    EXPECT_TRUE(saved.starts_with(seven)) << saved;
    EXPECT_TRUE(saved.ends_with(other)) << saved;
    EXPECT_NE(saved.find("JOBS=1\r\n"), std::string::npos) << saved;
    EXPECT_EQ(Read().left, 20);
    EXPECT_EQ(Read().settingsRow, -1);
}

// The window and palomix-batch start in the language the user chose last; without a choice in
// the language the system speaks, and in Japanese where it speaks none that can be told.
TEST(StartLanguageTest, ASavedChoiceWinsElseTheSystemsLanguageElseJapanese) {
    const std::vector<std::string> japanese = {"ja",    "ja_JP",     "ja_JP.UTF-8", "ja_JP.eucJP",
                                               "ja-JP", "ja_JP@cjk", "japanese"};
    const std::vector<std::string> untold = {"", "C", "POSIX", "C.UTF-8", "C.utf8"};
    const std::vector<std::string> other = {"en_US.UTF-8", "en",          "de_DE",
                                            "fr-CA",       "zh_CN.UTF-8", "jam"};
    StoredState none;
    StoredState savedJapanese;
    savedJapanese.japanese = true;
    StoredState savedEnglish;
    savedEnglish.japanese = false;
    savedEnglish.english = true;
    StoredState savedNeither;
    savedNeither.japanese = false;
    savedNeither.english = false;
    for (const auto* locales : {&japanese, &untold, &other}) {
        for (const std::string& locale : *locales) {
            // The system's language counts only where the user chose none.
            EXPECT_EQ(LanguageAtStart(savedJapanese, locale), Language::Japanese) << locale;
            EXPECT_EQ(LanguageAtStart(savedEnglish, locale), Language::English) << locale;
            EXPECT_EQ(LanguageAtStart(savedNeither, locale), std::nullopt) << locale;
            EXPECT_EQ(LanguageAtStart(none, locale),
                      locales == &other ? Language::English : Language::Japanese)
                << locale;
        }
    }
}

}  // namespace
}  // namespace palomix
