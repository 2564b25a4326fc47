// The restore at the first activation and the save at the close, against real state files.
#include <gtest/gtest.h>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "settings/IniFile.h"
#include "settings/StateFile.h"
#include "tests/app/AppTestSupport.h"
#include "widgets/FolderBrowseEdit.h"
#include "widgets/MCCBox.h"

namespace palomix::testing {
namespace {

using StateFileTest = WindowTest;

std::string Key(const std::string& path, std::string_view key) {
    IniReader reader;
    return reader.ReadString(path, "SET", key, "<absent>");
}

TEST_F(StateFileTest, FirstStartWithoutStateFileUsesTheDefaultsAndCloseWritesEveryKey) {
    TMainForm1& form = Restored();
    EXPECT_EQ(form.pos(), QPoint(20, 20));
    EXPECT_TRUE(form.Marks().japanese);
    EXPECT_FALSE(form.Marks().english);
    EXPECT_EQ(form.windowTitle().toStdString(), "Ferrovid＋Ferrotune＋Ferropix");
    EXPECT_EQ(form.Label1->text().toStdString(), "設定ファイルを選択");
    ASSERT_EQ(form.MultiComboBox1->ItemCount(), 4);
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), 0);
    EXPECT_EQ(form.MultiComboBox1->Item(0), "\"設定A\",\"説明A\",\"a.ini\"");
    EXPECT_EQ(form.ListBox1->count(), 4);
    EXPECT_EQ(form.ListBox1->item(0)->text().toStdString(),
              programFolder_ + "/convert_settings/a.ini");
    EXPECT_EQ(form.MultiComboBox2->ItemCount(), kWriteHang + 1);
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), 0);
    EXPECT_EQ(form.BrowserEdit1->Path(), programFolder_);
    EXPECT_TRUE(messages_->texts.empty());

    ASSERT_TRUE(form.FormClose());
    const std::string text = ReadText(StatePath());
    // The window's seven keys, then the run choices of the Settings menu at their defaults.
    EXPECT_EQ(text, "[SET]\r\nM_LEFT=20\r\nM_TOP=20\r\nB1=1\r\nB2=0\r\nMC1=0\r\nMC2=0\r\nBE1=" +
                        programFolder_ +
                        "\r\nJOBS=1\r\nEXISTING=overwrite\r\nKEEP_DATES=0\r\nKEEP_TREE=0\r\n"
                        "WHEN_DONE=nothing\r\n");
}

TEST_F(StateFileTest, SaveKeepsOtherSectionsAndKeysAndWritesCurrentValues) {
    WriteState("[Other]\nkeep=1\n[SET]\nExtra=x\nMC1=0\n");
    TMainForm1& form = Restored();
    Pick(*form.MultiComboBox1, 3);
    Pick(*form.MultiComboBox2, 2);
    form.move(-15, 300);
    form.BrowserEdit1->SetPath("/media/out folder");
    form.B2Click();
    ASSERT_TRUE(form.FormClose());
    const std::string text = ReadText(StatePath());
    EXPECT_NE(text.find("[Other]\nkeep=1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Extra=x\n"), std::string::npos) << text;
    EXPECT_EQ(Key(StatePath(), "M_LEFT"), "-15");
    EXPECT_EQ(Key(StatePath(), "M_TOP"), "300");
    EXPECT_EQ(Key(StatePath(), "B1"), "0");
    EXPECT_EQ(Key(StatePath(), "B2"), "1");
    // The language switch kept both choices.
    EXPECT_EQ(Key(StatePath(), "MC1"), "3");
    EXPECT_EQ(Key(StatePath(), "MC2"), "2");
    EXPECT_EQ(Key(StatePath(), "BE1"), "/media/out folder");
}

TEST_F(StateFileTest, EnglishOnlyComesUpInEnglish) {
    TMainForm1& form = Restored("[SET]\nB1=0\nB2=1\n");
    EXPECT_FALSE(form.Marks().japanese);
    EXPECT_TRUE(form.Marks().english);
    EXPECT_EQ(form.windowTitle().toStdString(), "Palomix");
    EXPECT_EQ(form.MultiComboBox1->Item(0), "\"Settings A\",\"Desc ”A”\",\"a.ini\"");
    EXPECT_EQ(form.MultiComboBox2->Item(0), "\"Probe\"");
}

TEST_F(StateFileTest, BothFlagsLoadJapaneseFirstThenEndInEnglish) {
    std::filesystem::remove_all(programFolder_ + "/convert_settings");
    TMainForm1& form = Restored("[SET]\nB1=1\nB2=1\n");
    // Each load reports the missing folder in its own language, Japanese first.
    EXPECT_EQ(messages_->texts,
              (std::vector<std::string>{"convert_settingsフォルダが存在しません.",
                                        "'convert_settings' Folder does not exist."}));
    EXPECT_FALSE(form.Marks().japanese);
    EXPECT_TRUE(form.Marks().english);
    EXPECT_EQ(form.Label3->text().toStdString(), "Output Folder");
}

TEST_F(StateFileTest, BothFlagsWithSettingsEndWithTheEnglishCatalogue) {
    TMainForm1& form = Restored("[SET]\nB1=2\nB2=-1\n");  // any non-zero value is on
    EXPECT_FALSE(form.B1->isChecked());
    EXPECT_TRUE(form.B2->isChecked());
    EXPECT_EQ(form.MultiComboBox1->Item(3), "\"Settings D\",\"\",\"d.ini\"");
}

TEST_F(StateFileTest, NoLanguageLeavesLayoutCaptionsAndEmptySelectors) {
    TMainForm1& form = Restored("[SET]\nB1=0\nMC1=2\nMC2=1\n");
    EXPECT_FALSE(form.B1->isChecked());
    EXPECT_FALSE(form.B2->isChecked());
    EXPECT_EQ(form.windowTitle().toStdString(), "Ferrovid＋Ferrotune＋Ferropix");
    EXPECT_EQ(form.Button1->text().toStdString(), "変換中止");
    EXPECT_EQ(form.MultiComboBox1->ItemCount(), 0);
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), -1);
    EXPECT_EQ(form.MultiComboBox2->ItemCount(), 0);
    EXPECT_EQ(form.ListBox1->count(), 0);
    EXPECT_FALSE(form.Core().SelectedCommand());
    // Saved as it is: neither flag, no selection.
    ASSERT_TRUE(form.FormClose());
    EXPECT_EQ(Key(StatePath(), "B1"), "0");
    EXPECT_EQ(Key(StatePath(), "B2"), "0");
    EXPECT_EQ(Key(StatePath(), "MC1"), "-1");
    EXPECT_EQ(Key(StatePath(), "MC2"), "-1");
}

TEST_F(StateFileTest, StoredSelectionsPickTheRowsByPosition) {
    TMainForm1& form = Restored("[SET]\nMC1=3\nMC2=2\n");
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), 3);
    ASSERT_EQ(form.MultiComboBox2->ItemCount(), 4);
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), 2);
    EXPECT_EQ(form.MultiComboBox2->GetColumnText(), "D2");
    const auto chosen = form.Core().SelectedCommand();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->settingsFile, programFolder_ + "/convert_settings/d.ini");
    EXPECT_EQ(chosen->itemNumber, 2);
}

TEST_F(StateFileTest, SelectionsThatNoLongerFitSelectNothing) {
    for (const char* text :
         {"[SET]\nMC1=-1\nMC2=0\n", "[SET]\nMC1=4\n", "[SET]\nMC1=99\nMC2=7\n"}) {
        SCOPED_TRACE(text);
        TMainForm1& form = Restored(text);
        EXPECT_EQ(form.MultiComboBox1->ItemIndex(), -1);
        EXPECT_EQ(form.MultiComboBox2->ItemCount(), 0);
        EXPECT_EQ(form.MultiComboBox2->ItemIndex(), -1);
        EXPECT_FALSE(form.Core().SelectedCommand());
        EXPECT_TRUE(messages_->texts.empty());
    }
    // A command row beyond the list of a file that is still there.
    TMainForm1& form = Restored("[SET]\nMC1=1\nMC2=5\n");
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), 1);
    EXPECT_EQ(form.MultiComboBox2->ItemCount(), 1);
    EXPECT_EQ(form.MultiComboBox2->ItemIndex(), -1);
}

TEST_F(StateFileTest, EmptyOrMissingOutputFolderBecomesTheProgramFolder) {
    EXPECT_EQ(Restored("[SET]\nBE1=\n").BrowserEdit1->Path(), programFolder_);
    EXPECT_EQ(Restored("[SET]\nBE1=   \n").BrowserEdit1->Path(), programFolder_);
    // A folder that no longer exists is shown as stored.
    EXPECT_EQ(Restored("[SET]\nBE1=/no/such/folder\n").BrowserEdit1->Path(), "/no/such/folder");
}

TEST_F(StateFileTest, PositionFollowsTheIntegerRules) {
    TMainForm1& hex = Restored("[SET]\nM_LEFT=0x40\nM_TOP=$20\n");
    EXPECT_EQ(hex.pos(), QPoint(64, 32));
    TMainForm1& word = Restored("[SET]\nM_LEFT=abc\nM_TOP=-7\n");
    EXPECT_EQ(word.pos(), QPoint(20, -7));
    TMainForm1& flags = Restored("[SET]\nB1=true\n");  // a word counts as absent
    EXPECT_TRUE(flags.B1->isChecked());
    EXPECT_EQ(flags.MultiComboBox1->ItemCount(), 4);
}

TEST_F(StateFileTest, LaterActivationsChangeNothing) {
    TMainForm1& form = Restored("[SET]\nMC1=3\n");
    Pick(*form.MultiComboBox1, 1);
    form.BrowserEdit1->SetPath("/chosen");
    WriteState("[SET]\nB1=0\nB2=1\nMC1=2\nM_LEFT=300\nBE1=\n");
    form.FormActivate();
    EXPECT_EQ(form.MultiComboBox1->ItemIndex(), 1);
    EXPECT_TRUE(form.B1->isChecked());
    EXPECT_EQ(form.pos(), QPoint(20, 20));
    EXPECT_EQ(form.BrowserEdit1->Path(), "/chosen");
}

TEST_F(StateFileTest, ShowingTheWindowRunsTheRestoreOnce) {
    WriteState("[SET]\nB1=0\nB2=1\nM_LEFT=40\n");
    TMainForm1& form = MakeForm();
    form.show();
    form.activateWindow();
    EXPECT_TRUE(form.B2->isChecked());  // the saved language from the start
    ASSERT_TRUE(WaitUntil([&] { return form.x() == 40; }));
    EXPECT_EQ(form.windowTitle().toStdString(), "Palomix");
    form.B1Click();
    // A message box closing activates the window again: nothing is restored a second time.
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&form, &activate);
    ProcessPending();
    EXPECT_TRUE(form.B1->isChecked());
}

TEST_F(StateFileTest, UnwritableStateFileIsReportedAndTheWindowStillCloses) {
    // A folder where the file should be: it can be neither read as a file nor replaced.
    std::filesystem::create_directories(StatePath());
    TMainForm1& form = Restored();
    form.show();
    ProcessPending();
    EXPECT_TRUE(form.close());
    ASSERT_EQ(messages_->texts.size(), 1u);
    EXPECT_NE(messages_->texts[0].find("設定を保存できませんでした"), std::string::npos);
    EXPECT_NE(messages_->texts[0].find(StatePath()), std::string::npos) << messages_->texts[0];
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace palomix::testing
