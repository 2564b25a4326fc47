#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/TextCodec.h"
#include "settings/IniFile.h"

namespace palomix {
namespace {

namespace fs = std::filesystem;

using KeyValues = std::vector<std::pair<std::string, std::string>>;

const std::string kNihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // "日本" in UTF-8
const std::string kNihonSjis = "\x93\xFA\x96\x7B";      // "日本" in Shift-JIS

std::string Apply(std::string_view text, std::string_view section, const KeyValues& keyValues) {
    return ApplyIniWrites(text, section, keyValues);
}

TEST(ApplyIniWritesTest, NewTextGetsTheSectionAndKeysWithCrlf) {
    EXPECT_EQ(Apply("", "SET", {{"M_LEFT", "20"}, {"M_TOP", "-4"}, {"BE1", ""}}),
              "[SET]\r\nM_LEFT=20\r\nM_TOP=-4\r\nBE1=\r\n");
}

TEST(ApplyIniWritesTest, ChangedKeyIsRewrittenInPlaceAndEverythingElseStays) {
    const std::string original =
        "; state of the window\r\n"
        "\r\n"
        "[Other]\r\n"
        "M_LEFT = 999\r\n"
        "[set]   ; lower case\r\n"
        "  m_left   =  \"5\"  \r\n"
        "unknown=kept\r\n"
        "junk line\r\n"
        "\r\n"
        "[Last]\r\n"
        "x=y";
    const std::string expected =
        "; state of the window\r\n"
        "\r\n"
        "[Other]\r\n"
        "M_LEFT = 999\r\n"
        "[set]   ; lower case\r\n"
        "m_left=-30\r\n"
        "unknown=kept\r\n"
        "junk line\r\n"
        "\r\n"
        "[Last]\r\n"
        "x=y";
    EXPECT_EQ(Apply(original, "SET", {{"M_LEFT", "-30"}}), expected);
}

TEST(ApplyIniWritesTest, KeyThatAlreadyReadsAsTheValueKeepsItsLine) {
    const std::string original = "[SET]\n  B1 = \"1\"  \n";
    EXPECT_EQ(Apply(original, "SET", {{"B1", "1"}}), original);
}

TEST(ApplyIniWritesTest, NewKeyGoesAfterTheLastNonBlankLineOfItsSection) {
    EXPECT_EQ(Apply("[SET]\nB1=1\n; end\n\n\n[Next]\nk=v\n", "SET", {{"B2", "0"}}),
              "[SET]\nB1=1\n; end\nB2=0\n\n\n[Next]\nk=v\n");
    EXPECT_EQ(Apply("[SET]\n\n[Next]\n", "SET", {{"B2", "0"}}), "[SET]\nB2=0\n\n[Next]\n");
    // Last line without a line end.
    EXPECT_EQ(Apply("[SET]\nB1=1", "SET", {{"B2", "0"}}), "[SET]\nB1=1\nB2=0\n");
}

TEST(ApplyIniWritesTest, NewSectionGoesAtTheEnd) {
    EXPECT_EQ(Apply("[A]\nk=v", "SET", {{"B1", "1"}, {"B2", "0"}}),
              "[A]\nk=v\n[SET]\nB1=1\nB2=0\n");
    // Keys before the first section belong to none.
    EXPECT_EQ(Apply("B1=7\n", "SET", {{"B1", "1"}}), "B1=7\n[SET]\nB1=1\n");
}

TEST(ApplyIniWritesTest, NewLinesFollowTheTextsLineEnds) {
    EXPECT_EQ(Apply("[SET]\rB1=1\r", "SET", {{"B1", "0"}, {"B2", "1"}}), "[SET]\rB1=0\rB2=1\r");
    EXPECT_EQ(Apply("[A]\r\nk=v\r\n", "SET", {{"B1", "1"}}), "[A]\r\nk=v\r\n[SET]\r\nB1=1\r\n");
    EXPECT_EQ(Apply("[A]", "SET", {{"B1", "1"}}), "[A]\r\n[SET]\r\nB1=1\r\n");
    // A rewritten line keeps its own line end, whatever the others use.
    EXPECT_EQ(Apply("[SET]\nB1=1\r\nB2=0\r", "SET", {{"B1", "0"}, {"B2", "1"}}),
              "[SET]\nB1=0\r\nB2=1\r");
}

TEST(ApplyIniWritesTest, OnlyTheFirstSectionAndKeyOfANameAreWritten) {
    EXPECT_EQ(Apply("[SET]\nk=1\nk=2\n[SET]\nk=3\nj=4\n", "set", {{"K", "9"}, {"j", "5"}}),
              "[SET]\nk=9\nk=2\nj=5\n[SET]\nk=3\nj=4\n");
}

TEST(ApplyIniWritesTest, EveryValueReadsBackAsWritten) {
    for (const std::string& value : std::vector<std::string>{
             "", "plain", " leading", "trailing\t", "  ", "\"quoted\"", "'single'", "\"", "'",
             "'a\"", "\"a\"b\"", "a=b", ";not a comment", "C:\\Program Files\\x", kNihon}) {
        const std::string text = Apply("[SET]\nBE1=old\n", "SET", {{"BE1", value}});
        EXPECT_EQ(IniDocument::Parse(text).Find("SET", "BE1"), value) << text;
        const std::string added = Apply("", "SET", {{"BE1", value}});
        EXPECT_EQ(IniDocument::Parse(added).Find("SET", "BE1"), value) << added;
    }
}

TEST(ApplyIniWritesTest, NamesAndValuesThatCannotBeOneLineAreRefused) {
    EXPECT_THROW(Apply("", "SET", {{"BE1", "a\nb"}}), std::invalid_argument);
    EXPECT_THROW(Apply("", "SET", {{"BE1", "a\rb"}}), std::invalid_argument);
    for (const char* key : {"", "a=b", " k", "k ", "[k", "a\nb"}) {
        EXPECT_THROW(Apply("", "SET", {{key, "v"}}), std::invalid_argument) << key;
    }
    EXPECT_THROW(Apply("", " SET", {{"k", "v"}}), std::invalid_argument);
    EXPECT_THROW(Apply("", "S\nET", {{"k", "v"}}), std::invalid_argument);
    // Text that is not UTF-8 would read back as something else.
    EXPECT_THROW(Apply("", "SET", {{"BE1", kNihonSjis}}), std::invalid_argument);
    EXPECT_THROW(Apply("", "SET", {{"k\xFF", "v"}}), std::invalid_argument);
    EXPECT_THROW(Apply("", "S\xC3", {{"k", "v"}}), std::invalid_argument);
}

class WriteIniStringsTest : public ::testing::Test {
protected:
    fs::path root;

    void SetUp() override {
        std::random_device random;
        root = fs::temp_directory_path() / ("palomix-iniw-" + std::to_string(random()));
        fs::create_directories(root);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    std::string PathOf(const std::string& name) const { return (root / name).string(); }

    static void Put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(root), fs::directory_iterator()));
    }
};

TEST_F(WriteIniStringsTest, CreatesAMissingFile) {
    const std::string path = PathOf("Palomix.ini");
    WriteIniStrings(path, "SET", {{"B1", "1"}, {"BE1", "/media/out"}});
    EXPECT_EQ(Get(path), "[SET]\r\nB1=1\r\nBE1=/media/out\r\n");
}

TEST_F(WriteIniStringsTest, ChangesOnlyTheKeysWritten) {
    const std::string path = PathOf("Palomix.ini");
    Put(path, "[Mine]\nkeep = this \n\n[SET]\nB1=0\nB2=1\n");
    WriteIniString(path, "SET", "B1", "1");
    EXPECT_EQ(Get(path), "[Mine]\nkeep = this \n\n[SET]\nB1=1\nB2=1\n");
}

// Lines that are not written keep their bytes, whatever their encoding; new lines are UTF-8,
// which the reader reads back line by line.
TEST_F(WriteIniStringsTest, ShiftJisLinesKeepTheirBytes) {
    const std::string path = PathOf("old.ini");
    const std::string sjisSection = "[" + kNihonSjis + "]\r\nTitle=" + kNihonSjis + "\r\n";
    Put(path, "[Info]\r\nTitle=" + kNihonSjis + "\r\n" + sjisSection);
    WriteIniStrings(path, kNihon, {{"TitleE", kNihon}});
    WriteIniStrings(path, "Info", {{"Title", kNihon}, {"TitleE", "Japan"}});
    // The first Title reads as the value written already: it keeps its Shift-JIS bytes.
    EXPECT_EQ(Get(path), "[Info]\r\nTitle=" + kNihonSjis + "\r\nTitleE=Japan\r\n" + sjisSection +
                             "TitleE=" + kNihon + "\r\n");
    IniReader reader;
    EXPECT_EQ(reader.ReadString(path, kNihon, "Title"), kNihon);
    EXPECT_EQ(reader.ReadString(path, kNihon, "TitleE"), kNihon);
}

TEST_F(WriteIniStringsTest, Utf16FileStaysUtf16) {
    const std::string path = PathOf("unicode.ini");
    const std::string face = "\xF0\x9F\x98\x80";  // beyond U+FFFF: a surrogate pair
    Put(path, "\xFF\xFE" + Utf8ToUtf16("[SET]\r\nBE1=" + kNihon + face + "\r\n", false));
    WriteIniString(path, "SET", "B1", kNihon);
    EXPECT_EQ(Get(path), "\xFF\xFE" + Utf8ToUtf16("[SET]\r\nBE1=" + kNihon + face +
                                                      "\r\nB1=" + kNihon + "\r\n",
                                                  false));
}

TEST_F(WriteIniStringsTest, ReportsTheKeysThatWillReadBackCut) {
    const std::string path = PathOf("Palomix.ini");
    EXPECT_EQ(WriteIniStrings(path, "SET", {{"a", std::string(2047, 'a')}, {"b", "1"}}),
              std::vector<std::string>{});
    EXPECT_EQ(WriteIniStrings(path, "SET", {{"a", std::string(2048, 'a')}, {"b", "2"}}),
              std::vector<std::string>{"a"});
    // Written whole all the same.
    EXPECT_NE(Get(path).find(std::string(2048, 'a')), std::string::npos);
}

TEST_F(WriteIniStringsTest, ByteOrderMarkIsKept) {
    const std::string path = PathOf("bom.ini");
    Put(path, "\xEF\xBB\xBF[SET]\nB1=0\n");
    WriteIniString(path, "SET", "B1", "1");
    EXPECT_EQ(Get(path), "\xEF\xBB\xBF[SET]\nB1=1\n");
}

TEST_F(WriteIniStringsTest, FailureNamesTheFileAndLeavesItAsItWas) {
    const std::string missing = PathOf("no folder/Palomix.ini");
    try {
        WriteIniString(missing, "SET", "B1", "1");
        FAIL() << "no error";
    } catch (const IniWriteError& error) {
        EXPECT_EQ(error.path(), missing);
        EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
    }

    const std::string path = PathOf("Palomix.ini");
    Put(path, "[SET]\nBE1=old\n");
    EXPECT_THROW(WriteIniString(path, "SET", "BE1", "two\nlines"), IniWriteError);
    EXPECT_THROW(WriteIniStrings(path, "SET", {{"B1", "1"}, {"BE1", "/\xFF"}}), IniWriteError);
    EXPECT_EQ(Get(path), "[SET]\nBE1=old\n");
    EXPECT_EQ(EntryCount(), 1u);
}

}  // namespace
}  // namespace palomix
