#include "settings/SettingsCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace palomix {
namespace {

namespace fs = std::filesystem;

// A program folder of its own for each test, with convert_settings inside.
class SettingsCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        program_ = fs::temp_directory_path() /
                   ("palomix-catalogue-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(program_ / "convert_settings");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(program_, ignored);
    }

    std::string Program() const { return program_.string(); }
    std::string Settings(const std::string& relative) const {
        return (program_ / "convert_settings" / relative).string();
    }

    std::string Write(const std::string& relative, const std::string& text) const {
        const fs::path path = program_ / "convert_settings" / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return fs::path(path).make_preferred().string();
    }

    // A settings file with Info texts and the given item titles (Japanese and English).
    std::string WriteTitled(const std::string& relative, const std::string& title,
                            const std::vector<int>& items) const {
        std::string text = "[Info]\nTitle=" + title + "\nTitleE=" + title + " E\n";
        for (const int n : items) {
            text += "[Item" + std::to_string(n) + "]\nTitle=J" + std::to_string(n) + "\nTitleE=E" +
                    std::to_string(n) + "\nCommand0=cmd item " + std::to_string(n) + "\n";
        }
        return Write(relative, text);
    }

    fs::path program_;
};

TEST_F(SettingsCatalogueTest, FilesOfTheFolderComeBeforeThoseOfSubfoldersBreadthFirst) {
    const std::string deep = WriteTitled("sub/deeper/c.ini", "c", {0});
    const std::string sub2 = WriteTitled("sub2/d.ini", "d", {0});
    const std::string sub = WriteTitled("sub/b.ini", "b", {0});
    const std::string m = WriteTitled("m.ini", "m", {0});
    const std::string a = WriteTitled("a.ini", "a", {0});
    Write("readme.txt", "[Info]\nTitle=not a settings file\n");

    SettingsCatalogue catalogue(Program());
    EXPECT_FALSE(catalogue.LoadSettingsCatalogue(Language::Japanese).folderMissing);
    EXPECT_EQ(catalogue.Paths(), (std::vector<std::string>{a, m, sub, sub2, deep}));
    EXPECT_EQ(catalogue.CatalogueRows()[2], "\"b\",\"\",\"b.ini\"");
}

TEST_F(SettingsCatalogueTest, TheUsersFolderIsListedAfterTheProgramsInTheSameOrder) {
    const std::string shipped = WriteTitled("z.ini", "z", {0});
    const std::string shippedSub = WriteTitled("sub/y.ini", "y", {0});
    const fs::path user = program_ / "user";
    fs::create_directories(user / "deeper");
    std::ofstream(user / "deeper" / "b.ini") << "[Info]\nTitle=b\n";
    std::ofstream(user / "a.ini") << "[Info]\nTitle=a\n[Item3]\nTitle=three\n";

    SettingsCatalogue catalogue(Program());
    catalogue.SetUserSettingsFolder(user.string());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(catalogue.Paths(),
              (std::vector<std::string>{shipped, shippedSub, (user / "a.ini").string(),
                                        (user / "deeper" / "b.ini").string()}));
    // Selections by what they name, as a language switch keeps them.
    EXPECT_TRUE(catalogue.SelectSettingsFile((user / "a.ini").string()));
    EXPECT_EQ(catalogue.SelectedSettingsRow(), 2);
    EXPECT_FALSE(catalogue.SelectSettingsFile(Settings("gone.ini")));
    EXPECT_EQ(catalogue.SelectedSettingsRow(), 2);
    catalogue.MultiComboBox1Change(Language::Japanese);
    EXPECT_TRUE(catalogue.SelectCommandItem(3));
    EXPECT_FALSE(catalogue.SelectCommandItem(0));
    EXPECT_EQ(catalogue.SelectedCommand()->itemNumber, 3);

    // A user folder that is not there adds nothing and is no error.
    catalogue.SetUserSettingsFolder((program_ / "missing").string());
    EXPECT_FALSE(catalogue.LoadSettingsCatalogue(Language::English).folderMissing);
    EXPECT_EQ(catalogue.Paths(), (std::vector<std::string>{shipped, shippedSub}));
}

TEST_F(SettingsCatalogueTest, AFolderNamedLikeASettingsFileIsNotListedButItsFilesAre) {
    const std::string inner = WriteTitled("folder.ini/inner.ini", "inner", {0});
    const std::string plain = WriteTitled("plain.ini", "plain", {0});

    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(catalogue.Paths(), (std::vector<std::string>{plain, inner}));
}

TEST_F(SettingsCatalogueTest, RowsCarryTheTextsOfTheLanguage) {
    Write("psp.ini",
          "[Info]\nTitle=\xE5\x8B\x95\xE7\x94\xBB\nDescription=say \"hi\" now\n"
          "TitleE=Video \"HQ\"\nDescriptionE=say \"hi\" now\n");
    Write("untranslated.ini", "[Info]\nTitle=only japanese\nDescription=d\n");

    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(
        catalogue.CatalogueRows(),
        (std::vector<std::string>{"\"\xE5\x8B\x95\xE7\x94\xBB\",\"say \"hi\" now\",\"psp.ini\"",
                                  "\"only japanese\",\"d\",\"untranslated.ini\""}));

    catalogue.LoadSettingsCatalogue(Language::English);
    // Quotes are replaced in the English description only, never in a title.
    EXPECT_EQ(catalogue.CatalogueRows(),
              (std::vector<std::string>{
                  "\"Video \"HQ\"\",\"say \xE2\x80\x9Dhi\xE2\x80\x9D now\",\"psp.ini\"",
                  "\"\",\"\",\"untranslated.ini\""}));
    EXPECT_EQ(catalogue.Entries()[1].title, "");
    EXPECT_EQ(catalogue.Entries()[1].fileName, "untranslated.ini");
}

TEST_F(SettingsCatalogueTest, CommandListTakesItems0To255InOrder) {
    Write("f.ini",
          "[Item2]\nTitle=third\n[Item0]\nTitle=first\n[Item1]\nTitle=\"second\"\n"
          "[Item256]\nTitle=never\n[Item255]\nTitle=last\n");

    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(catalogue.CommandRowTexts(),
              (std::vector<std::string>{"\"first\"", "\"second\"", "\"third\"", "\"last\""}));
    EXPECT_EQ(catalogue.CommandRows()[3].itemNumber, 255);
    EXPECT_EQ(catalogue.SelectedCommandRow(), 0);
}

TEST_F(SettingsCatalogueTest, RowsAfterAGapRunTheItemTheirTitleNames) {
    Write("gaps.ini",
          "[Item0]\nTitle=zero\nCommand0=run zero\n"
          "[Item1]\nCommand0=untitled one\n"
          "[Item2]\nTitle=two\nCommand0=run two\nCommand7=run two seven\n"
          "[Item5]\nTitle=five\nCommand0=run five\n");

    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    ASSERT_EQ(catalogue.CommandRows().size(), 3u);
    EXPECT_EQ(catalogue.CommandRows()[1].itemNumber, 2);
    EXPECT_EQ(catalogue.CommandRows()[2].itemNumber, 5);

    catalogue.SelectCommandRow(1);
    EXPECT_EQ(catalogue.SelectedCommand(), (ChosenCommand{Settings("gaps.ini"), 2}));
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "run two");
    EXPECT_EQ(catalogue.ReadCommandTemplate(3), "");
    EXPECT_EQ(catalogue.ReadCommandTemplate(7), "run two seven");

    catalogue.SelectCommandRow(2);
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "run five");
}

TEST_F(SettingsCatalogueTest, TemplatesBeyond255AreNeverRead) {
    const std::string file = Write("f.ini", "[Item0]\nTitle=t\nCommand255=last\nCommand256=no\n");
    IniReader reader;
    EXPECT_EQ(ReadCommandTemplate(reader, file, 0, 255), "last");
    EXPECT_EQ(ReadCommandTemplate(reader, file, 0, 256), "");
    EXPECT_EQ(ReadCommandTemplate(reader, file, 0, -1), "");
    EXPECT_EQ(ReadCommandTemplate(reader, file, 256, 0), "");
}

TEST_F(SettingsCatalogueTest, AnEditBetweenTwoTemplateReadsIsSeen) {
    const std::string file = Write("f.ini", "[Item0]\nTitle=t\nCommand0=before\nCommand1=one\n");
    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "before");

    std::ofstream(file, std::ios::binary | std::ios::trunc)
        << "[Item0]\nTitle=t\nCommand0=after the edit\nCommand1=one\n";
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "after the edit");
}

TEST_F(SettingsCatalogueTest, MissingFolderKeepsListsAndSelectionsAndGivesTheMessage) {
    WriteTitled("a.ini", "a", {0});
    WriteTitled("b.ini", "b", {0, 1, 2});
    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    catalogue.SelectSettingsRow(1);
    catalogue.MultiComboBox1Change(Language::Japanese);
    catalogue.SelectCommandRow(2);
    const std::vector<std::string> rows = catalogue.CatalogueRows();
    const std::vector<std::string> commands = catalogue.CommandRowTexts();

    fs::rename(program_ / "convert_settings", program_ / "moved");
    const CatalogueLoadResult english = catalogue.LoadSettingsCatalogue(Language::English);
    EXPECT_TRUE(english.folderMissing);
    EXPECT_EQ(english.message, "'convert_settings' Folder does not exist.");
    const CatalogueLoadResult japanese = catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(japanese.message,
              "convert_settings\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80\xE3\x81\x8C\xE5"
              "\xAD\x98\xE5\x9C\xA8\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93.");

    EXPECT_EQ(catalogue.CatalogueRows(), rows);
    EXPECT_EQ(catalogue.CommandRowTexts(), commands);
    EXPECT_EQ(catalogue.SelectedSettingsRow(), 1);
    EXPECT_EQ(catalogue.SelectedCommandRow(), 2);

    // A file in the place of the folder is no folder either.
    std::ofstream(program_ / "convert_settings") << "x";
    EXPECT_TRUE(catalogue.LoadSettingsCatalogue(Language::Japanese).folderMissing);
}

TEST_F(SettingsCatalogueTest, EmptyFolderGivesEmptyListsAndNoSelection) {
    SettingsCatalogue catalogue(Program());
    const CatalogueLoadResult result = catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_FALSE(result.folderMissing);
    EXPECT_TRUE(result.message.empty());
    EXPECT_TRUE(catalogue.Paths().empty());
    EXPECT_TRUE(catalogue.CommandRows().empty());
    EXPECT_EQ(catalogue.SelectedSettingsRow(), -1);
    EXPECT_EQ(catalogue.SelectedCommandRow(), -1);
    EXPECT_EQ(catalogue.SelectedCommand(), std::nullopt);
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "");

    // A reload that finds nothing empties a catalogue that was filled.
    WriteTitled("a.ini", "a", {0});
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    ASSERT_EQ(catalogue.Paths().size(), 1u);
    fs::remove(Settings("a.ini"));
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_TRUE(catalogue.Paths().empty());
    EXPECT_EQ(catalogue.SelectedSettingsRow(), -1);
    EXPECT_TRUE(catalogue.CommandRows().empty());
}

TEST_F(SettingsCatalogueTest, UnreadableFilesGiveEmptyTitles) {
    const char garbage[] = "\x00\xFF\x01[Item0\nTitle";
    Write("garbage.ini", std::string(garbage, sizeof garbage - 1));

    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    EXPECT_EQ(catalogue.CatalogueRows(), (std::vector<std::string>{"\"\",\"\",\"garbage.ini\""}));
    EXPECT_TRUE(catalogue.CommandRows().empty());
    EXPECT_EQ(catalogue.SelectedSettingsRow(), 0);
    EXPECT_EQ(catalogue.SelectedCommandRow(), -1);
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "");
}

TEST_F(SettingsCatalogueTest, LanguageSwitchSelectsTheFirstFileAndItsFirstCommand) {
    WriteTitled("a.ini", "a", {0});
    WriteTitled("b.ini", "b", {0});
    WriteTitled("c.ini", "c", {0, 1, 2, 3, 4, 5});
    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    catalogue.SelectSettingsRow(2);
    catalogue.MultiComboBox1Change(Language::Japanese);
    catalogue.SelectCommandRow(4);
    EXPECT_EQ(catalogue.ReadCommandTemplate(0), "cmd item 4");

    catalogue.LoadSettingsCatalogue(Language::English);
    EXPECT_EQ(catalogue.SelectedSettingsRow(), 0);
    EXPECT_EQ(catalogue.SelectedCommandRow(), 0);
    EXPECT_EQ(catalogue.CommandRowTexts(), (std::vector<std::string>{"\"E0\""}));
    EXPECT_EQ(catalogue.CatalogueRows()[0], "\"a E\",\"\",\"a.ini\"");
}

TEST_F(SettingsCatalogueTest, CommandListFollowsTheLanguageMarks) {
    WriteTitled("a.ini", "a", {0, 1});
    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);

    catalogue.MultiComboBox1Change(LanguageMarks{true, true});  // Japanese is read first
    EXPECT_EQ(catalogue.CommandRowTexts(), (std::vector<std::string>{"\"J0\"", "\"J1\""}));
    catalogue.MultiComboBox1Change(LanguageMarks{false, true});
    EXPECT_EQ(catalogue.CommandRowTexts(), (std::vector<std::string>{"\"E0\"", "\"E1\""}));
    catalogue.MultiComboBox1Change(LanguageMarks{false, false});
    EXPECT_TRUE(catalogue.CommandRows().empty());
    EXPECT_EQ(catalogue.SelectedCommandRow(), -1);
}

TEST_F(SettingsCatalogueTest, SelectionsSetByPositionOutOfRangeSelectNothing) {
    WriteTitled("a.ini", "a", {0, 1});
    WriteTitled("b.ini", "b", {0});
    SettingsCatalogue catalogue(Program());
    catalogue.LoadSettingsCatalogue(Language::Japanese);

    catalogue.SelectCommandRow(2);
    EXPECT_EQ(catalogue.SelectedCommandRow(), -1);
    EXPECT_EQ(catalogue.SelectedCommand(), std::nullopt);
    catalogue.SelectSettingsRow(2);
    EXPECT_EQ(catalogue.SelectedSettingsRow(), -1);
    catalogue.MultiComboBox1Change(Language::Japanese);
    EXPECT_TRUE(catalogue.CommandRows().empty());

    catalogue.SelectSettingsRow(1);
    catalogue.MultiComboBox1Change(Language::Japanese);
    EXPECT_EQ(catalogue.SelectedCommand(), (ChosenCommand{Settings("b.ini"), 0}));
    catalogue.SelectSettingsRow(-5);
    EXPECT_EQ(catalogue.SelectedSettingsRow(), -1);
}

TEST_F(SettingsCatalogueTest, S1ClickOpensTheSelectedFileOnly) {
    std::vector<std::string> opened;
    const DefaultProgramOpener fakeOpener = [&](const std::string& path) {
        opened.push_back(path);
    };

    SettingsCatalogue catalogue(Program());
    catalogue.S1Click(fakeOpener);  // nothing loaded yet
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    catalogue.S1Click(fakeOpener);  // empty catalogue
    EXPECT_TRUE(opened.empty());

    WriteTitled("a.ini", "a", {0});
    const std::string b = WriteTitled("b b;$'x.ini", "b", {0});
    catalogue.LoadSettingsCatalogue(Language::Japanese);
    catalogue.SelectSettingsRow(1);
    catalogue.S1Click(fakeOpener);
    EXPECT_EQ(opened, (std::vector<std::string>{b}));
}

}  // namespace
}  // namespace palomix
