// The language commands: check marks, catalogue reload and every caption of the window.
#include <gtest/gtest.h>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

#include "app/Captions.h"
#include "app/StringGrid.h"
#include "tests/app/AppTestSupport.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

using CaptionsTest = WindowTest;

// Every caption the language commands write, in the order they write them.
std::vector<std::string> Captions(const TMainForm1& form) {
    std::vector<std::string> texts = {
        form.windowTitle().toStdString(),  form.S0->title().toStdString(),
        form.S1->text().toStdString(),     form.H0->title().toStdString(),
        form.H1->text().toStdString(),     form.H2->text().toStdString(),
        form.Label1->text().toStdString(), form.Label2->text().toStdString(),
        form.Label3->text().toStdString(), form.Label4->text().toStdString(),
        form.Button1->text().toStdString()};
    for (int column = 0; column < 3; ++column) {
        texts.push_back(
            form.StringGrid2->model()->headerData(column, Qt::Horizontal).toString().toStdString());
    }
    return texts;
}

const std::vector<std::string> kJapanese = {"Ferrovid＋Ferrotune＋Ferropix",
                                            "設定(&S)",
                                            "設定ファイル(.ini)を開く(&O)...",
                                            "ヘルプ(&H)",
                                            "MirabexのWEBサイト(&L)...",
                                            "ソフトウェア情報(&V)...",
                                            "設定ファイルを選択",
                                            "変換コマンドを選択",
                                            "保存先フォルダ",
                                            "↓ここにファイルをドラッグ＆ドロップで変換開始",
                                            "変換中止",
                                            "状態(経過時間)",
                                            "動画ファイル",
                                            "動画ファイルのフルパス"};

const std::vector<std::string> kEnglish = {"Palomix",
                                           "Settings(&S)",
                                           "Open the configuration file(&O)...",
                                           "Help(&H)",
                                           "Mirabex WEB site(&L)...",
                                           "Software Information(&V)...",
                                           "Select a configuration file",
                                           "Select the Convert command",
                                           "Output Folder",
                                           "Drag & drop the file conversion start here",
                                           "Stop",
                                           "Status (Time)",
                                           "Video file",
                                           "Full path"};

TEST_F(CaptionsTest, WindowIsCreatedWithTheJapaneseTextsAndFixedMenuCaptions) {
    TMainForm1& form = MakeForm();
    EXPECT_EQ(Captions(form), kJapanese);
    EXPECT_EQ(form.B0->title().toStdString(), "Bilingual(&B)");
    EXPECT_EQ(form.B1->text().toStdString(), "Japanese(&J)");
    EXPECT_EQ(form.B2->text().toStdString(), "English(&E)");
    EXPECT_TRUE(form.N3->isSeparator());
    EXPECT_TRUE(form.B1->isChecked());
    EXPECT_FALSE(form.B2->isChecked());
}

TEST_F(CaptionsTest, SwitchingRewritesEveryCaptionAndKeepsBothSelections) {
    TMainForm1& form = Restored();
    Pick(*form.MultiComboBox1, 0);
    Pick(*form.MultiComboBox2, 2);
    form.BrowserEdit1->SetPath("/out");

    form.B2->trigger();  // the menu item, as the user chooses it
    EXPECT_EQ(Captions(form), kEnglish);
    EXPECT_FALSE(form.B1->isChecked());
    EXPECT_TRUE(form.B2->isChecked());
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), 0);
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), 2);
    EXPECT_EQ(form.MultiComboBox2->Item(1), "\"Fail\"");
    EXPECT_EQ(form.BrowserEdit1->Path(), "/out");

    // Choosing the current language again, through the menu, keeps it checked.
    form.B2->trigger();
    EXPECT_TRUE(form.B2->isChecked());
    EXPECT_EQ(Captions(form), kEnglish);

    form.B1->trigger();
    EXPECT_EQ(Captions(form), kJapanese);
    EXPECT_TRUE(form.B1->isChecked());
    EXPECT_FALSE(form.B2->isChecked());
    EXPECT_EQ(form.MultiComboBox2->Item(1), "\"失敗\"");
    EXPECT_TRUE(messages_->texts.empty());
}

TEST_F(CaptionsTest, MissingFolderAtASwitchIsShownOnceAndKeepsTheLists) {
    TMainForm1& form = Restored();
    Pick(*form.MultiComboBox1, 3);
    Pick(*form.MultiComboBox2, 1);
    std::filesystem::remove_all(programFolder_ + "/convert_settings");

    form.B2Click();
    EXPECT_EQ(messages_->texts,
              std::vector<std::string>{"'convert_settings' Folder does not exist."});
    EXPECT_EQ(Captions(form), kEnglish);
    EXPECT_TRUE(form.B2->isChecked());
    // The rows stay as they were, in the previous language.
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), 3);
    EXPECT_EQ(form.MultiComboBox1->Item(0), "\"設定A\",\"説明A\",\"a.ini\"");
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), 1);
    EXPECT_EQ(form.ListBox1->count(), 4);
}

TEST_F(CaptionsTest, PickingASettingsFileRefillsTheCommandListInTheCurrentLanguage) {
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=1\n");
    Pick(*form.MultiComboBox1, 3);
    ASSERT_EQ(form.MultiComboBox2->ItemCount(), 4);
    EXPECT_EQ(form.MultiComboBox2->Item(3), "\"D3e\"");
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), 0);
    // Selecting from the program is not a pick: the command list stays.
    form.MultiComboBox1->SetItemIndex(0);
    EXPECT_EQ(form.MultiComboBox2->Item(3), "\"D3e\"");
}

TEST_F(CaptionsTest, MenuCommandsOpenTheSettingsFileAndTheWebPages) {
    MainFormEnvironment environment;
    environment.executablePath = "/opt/tools/my.tool.exe";
    environment.webSite = "https://maker.example";
    TMainForm1& form = MakeForm(std::move(environment));
    form.S1->trigger();  // no catalogue yet: nothing to open
    EXPECT_TRUE(opened_.empty());
    form.FormActivate();
    Pick(*form.MultiComboBox1, 2);
    form.S1->trigger();
    form.H1->trigger();
    form.H2->trigger();
    EXPECT_EQ(opened_, (std::vector<std::string>{
                           programFolder_ + "/convert_settings/c.ini", "https://maker.example",
                           "https://maker.example/info.php?pf=w&sn=my.tool"}));
}

TEST(SoftwareInformationAddressTest, TakesTheFileNameWithoutItsLastExtension) {
    EXPECT_EQ(SoftwareInformationAddress("https://p.example", "/opt/palomix/palomix"),
              "https://p.example/info.php?pf=w&sn=palomix");
    EXPECT_EQ(SoftwareInformationAddress("https://p.example", "/opt/p.dir/palomix"),
              "https://p.example/info.php?pf=w&sn=palomix");
    EXPECT_EQ(SoftwareInformationAddress("https://p.example", "/opt/x/archive.tar.gz"),
              "https://p.example/info.php?pf=w&sn=archive.tar");
}

}  // namespace
}  // namespace palomix::testing
