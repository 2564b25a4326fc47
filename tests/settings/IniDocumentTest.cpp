#include <gtest/gtest.h>

#include <string>

#include "platform/TextCodec.h"
#include "settings/IniFile.h"

namespace palomix {
namespace {

std::optional<std::string> Lookup(std::string_view text, std::string_view section,
                                  std::string_view key) {
    return IniDocument::Parse(text).Find(section, key);
}

TEST(IniDocumentTest, AnyRunOfCrAndLfEndsALine) {
    for (const std::string text : {
             "[S]\r\na=1\r\nb=2\r\n",    // CRLF
             "[S]\na=1\nb=2",            // LF, no final line end
             "[S]\ra=1\rb=2\r",          // CR only
             "[S]\r\r\n\n\ra=1\n\rb=2",  // mixed, with blank lines
         }) {
        const IniDocument document = IniDocument::Parse(text);
        EXPECT_EQ(document.Find("S", "a"), "1") << testing::PrintToString(text);
        EXPECT_EQ(document.Find("S", "b"), "2") << testing::PrintToString(text);
    }
}

TEST(IniDocumentTest, SectionHeaders) {
    const IniDocument document = IniDocument::Parse(
        "  [ Info ]  \n"  // blanks around and inside the brackets
        "Title=one\n"
        "[Item0] trailing text\n"
        "Title=two\n"
        "[a]b]\n"  // the name runs to the last ']'
        "k=three\n"
        "[Item1=x\n"  // no ']': an ordinary line of section a]b
        "k2=four\n");
    EXPECT_EQ(document.Find("Info", "Title"), "one");
    EXPECT_EQ(document.Find("Item0", "Title"), "two");
    EXPECT_EQ(document.Find("a]b", "k"), "three");
    EXPECT_EQ(document.Find("a]b", "k2"), "four");
    EXPECT_EQ(document.Find("a]b", "[Item1"), "x");
    EXPECT_EQ(document.Find("Item1", "k2"), std::nullopt);
}

TEST(IniDocumentTest, NamesMatchIgnoringAsciiCase) {
    const IniDocument document = IniDocument::Parse("[Set]\nM_Left=5\n");
    EXPECT_EQ(document.Find("SET", "m_left"), "5");
    EXPECT_EQ(document.Find("set", "M_LEFT"), "5");
    EXPECT_EQ(document.Find("SE", "M_LEFT"), std::nullopt);
    EXPECT_EQ(document.Find("SET", "M_LEFTX"), std::nullopt);
}

TEST(IniDocumentTest, FirstSectionAndFirstKeyOfANameCount) {
    const IniDocument document = IniDocument::Parse(
        "[S]\nk=first\nk=second\n"
        "[other]\nx=1\n"
        "[s]\nk=third\nonly=later\n");
    EXPECT_EQ(document.Find("S", "k"), "first");
    // A key that only the second section of the name has is not found.
    EXPECT_EQ(document.Find("S", "only"), std::nullopt);
    EXPECT_EQ(document.Find("other", "x"), "1");
}

TEST(IniDocumentTest, KeysBeforeAnySectionCannotBeFound) {
    const IniDocument document = IniDocument::Parse("k=orphan\n[S]\nj=1\n");
    EXPECT_EQ(document.Find("", "k"), std::nullopt);
    EXPECT_EQ(document.Find("S", "k"), std::nullopt);
}

TEST(IniDocumentTest, KeyLines) {
    const IniDocument document = IniDocument::Parse(
        "[S]\n"
        "  spaced key \t= v\n"
        "a=b=c\n"  // split at the first '='
        "empty=\n"
        "bare\n"  // no '=': no value, and no key either
        "bare=later\n"
        ";comment=x\n"  // ';' and '#' mean nothing special
        "#hash=y\n"
        "tail=v ;not a comment\n");
    EXPECT_EQ(document.Find("S", "spaced key"), "v");
    EXPECT_EQ(document.Find("S", "a"), "b=c");
    EXPECT_EQ(document.Find("S", "empty"), "");
    EXPECT_EQ(document.Find("S", "bare"), "later");
    EXPECT_EQ(document.Find("S", ";comment"), "x");
    EXPECT_EQ(document.Find("S", "#hash"), "y");
    EXPECT_EQ(document.Find("S", "tail"), "v ;not a comment");
    EXPECT_EQ(document.ReadString("S", "missing", "dflt"), "dflt");
    EXPECT_EQ(document.ReadString("S", "empty", "dflt"), "");
    EXPECT_EQ(document.ReadString("Nope", "a", "dflt"), "dflt");
}

TEST(IniDocumentTest, EndOfFileMarkAndOtherBlanksAroundNames) {
    const IniDocument document = IniDocument::Parse("\x1A\f[ S \v]\r\n\x1A k \f= \"v\"\r\n\x1A");
    EXPECT_EQ(document.Find("S", "k"), "v");
}

TEST(IniDocumentTest, NamesWithLineBreaksAreNeverFound) {
    const IniDocument document = IniDocument::Parse("[a]\nb=1\n");
    EXPECT_EQ(document.Find("a\nb", ""), std::nullopt);
    EXPECT_EQ(document.Find("a", "b\n"), std::nullopt);
}

TEST(IniDocumentTest, ValueBlanksAndQuotes) {
    const struct {
        std::string written;
        std::string read;
    } cases[] = {
        {" \t spaced \t ", "spaced"},
        {"\"quoted\"", "quoted"},
        {"'single'", "single"},
        {"  \" kept inside \"  ", " kept inside "},
        {"\"", "\""},      // one character: not a pair
        {"'a\"", "'a\""},  // different quotes
        {"\"\"", ""},
        {"\"a\"b\"", "a\"b"},  // only the outer pair goes
        {"\"\"x\"\"", "\"x\""},
        {"\"a", "\"a"},
        {"a\"", "a\""},
        // Vertical tab, form feed and ^Z are blanks too: a file that ends in ^Z keeps the
        // quotes of its last value from being stripped otherwise.
        {"\v\f\"quoted\"\f\x1A", "quoted"},
        {"\"\x1A\"", "\x1A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Lookup("[S]\nk=" + c.written + "\n", "S", "k"), c.read) << c.written;
    }
}

TEST(IniDocumentTest, LongValuesAreCutWithoutSplittingACharacter) {
    const std::string nihon = "\xE6\x97\xA5";     // three bytes
    const std::string face = "\xF0\x9F\x98\x80";  // four bytes
    const auto read = [](const std::string& value) {
        return Lookup("[S]\nk=" + value + "\n", "S", "k").value();
    };
    EXPECT_EQ(read(std::string(2047, 'x')), std::string(2047, 'x'));
    EXPECT_EQ(read(std::string(3000, 'x')), std::string(2047, 'x'));
    // A character that ends exactly at the limit stays.
    EXPECT_EQ(read(std::string(2044, 'x') + nihon + "y"), std::string(2044, 'x') + nihon);
    // Characters that straddle the limit are left out whole.
    EXPECT_EQ(read(std::string(2045, 'x') + nihon), std::string(2045, 'x'));
    EXPECT_EQ(read(std::string(2046, 'x') + nihon), std::string(2046, 'x'));
    EXPECT_EQ(read(std::string(2044, 'x') + face), std::string(2044, 'x'));
    EXPECT_EQ(read(std::string(2046, 'x') + face), std::string(2046, 'x'));
    // Quotes go first, then the cut.
    EXPECT_EQ(read("\"" + std::string(2047, 'q') + "\""), std::string(2047, 'q'));
    // Bytes that are not UTF-8 are cut where the limit is.
    EXPECT_EQ(read(std::string(2100, '\x80')), std::string(2047, '\x80'));
}

TEST(IniDocumentTest, ACutValueIsToldFromAWholeOne) {
    const IniDocument document = IniDocument::Parse("[S]\nwhole=\"" + std::string(2047, 'w') +
                                                    "\"\ncut=" + std::string(2048, 'c') + "\n");
    EXPECT_EQ(document.FindValue("S", "whole"), (IniValue{std::string(2047, 'w'), false}));
    EXPECT_EQ(document.FindValue("S", "cut"), (IniValue{std::string(2047, 'c'), true}));
    EXPECT_EQ(document.Find("S", "cut"), std::string(2047, 'c'));
    EXPECT_EQ(document.FindValue("S", "none"), std::nullopt);
}

const std::string kNichi = "\xE6\x97\xA5";     // "日" in UTF-8
const std::string kNichiSjis = "\x93\xFA";     // "日" in Shift-JIS
const std::string kFace = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

std::string Repeat(const std::string& text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// A Shift-JIS command line is counted in its Shift-JIS bytes, not in the longer UTF-8 it
// becomes: 300 kanji and 1,447 other characters are 2,047 bytes in the file.
TEST(IniDocumentTest, ShiftJisValuesAreCountedInShiftJisBytes) {
    const auto parse = [](const std::string& value) {
        return IniDocument::ParseFile("[S]\r\nk=" + value + "\r\n").FindValue("S", "k").value();
    };
    const std::string ascii(1447, 'a');
    EXPECT_EQ(parse(Repeat(kNichiSjis, 300) + ascii),
              (IniValue{Repeat(kNichi, 300) + ascii, false}));
    EXPECT_EQ(parse(Repeat(kNichiSjis, 300) + ascii + "b"),
              (IniValue{Repeat(kNichi, 300) + ascii, true}));
    // A character that would end one byte past the limit is left out whole.
    EXPECT_EQ(parse(std::string(2046, 'a') + kNichiSjis), (IniValue{std::string(2046, 'a'), true}));
}

// ']' (0x5D) is also the second byte of some Shift-JIS characters ("ゾ" is 0x83 0x5D): only a
// ']' of its own closes a section name.
TEST(IniDocumentTest, ShiftJisCharacterEndingIn0x5DDoesNotCloseASection) {
    const IniDocument document = IniDocument::ParseFile(
        "[Item0]\x83\x5D\r\nTitle=x\r\n"
        "[\x83\x5D\r\nTitle=y\r\n");
    EXPECT_EQ(document.Find("Item0", "Title"), "x");
    EXPECT_EQ(document.Find("Item0", "[\xE3\x82\xBE"), std::nullopt);  // "[ゾ" is no key
}

TEST(IniDocumentTest, Utf16FilesWithEitherByteOrderReadAndCountInUnits) {
    const std::string text = "[S]\r\nk=\"" + kNichi + "\"\r\nlong=" + Repeat(kNichi, 2047) +
                             "\r\nlonger=" + Repeat(kNichi, 2048) +
                             "\r\nface=" + std::string(2046, 'x') + kFace + "\r\n";
    for (const bool bigEndian : {false, true}) {
        const IniDocument document = IniDocument::ParseFile((bigEndian ? "\xFE\xFF" : "\xFF\xFE") +
                                                            Utf8ToUtf16(text, bigEndian));
        EXPECT_EQ(document.Find("S", "k"), kNichi);
        EXPECT_EQ(document.FindValue("S", "long"), (IniValue{Repeat(kNichi, 2047), false}));
        EXPECT_EQ(document.FindValue("S", "longer"), (IniValue{Repeat(kNichi, 2047), true}));
        // A character of two units is not split at the limit.
        EXPECT_EQ(document.FindValue("S", "face"), (IniValue{std::string(2046, 'x'), true}));
    }
}

// One stray byte spoils its own line only: the other lines stay UTF-8, and a file written in
// Shift-JIS as a whole reads as Shift-JIS.
TEST(IniDocumentTest, EachLineIsUtf8OrShiftJisByItself) {
    const IniDocument mixed = IniDocument::ParseFile("[SET]\r\nM_LEFT=1\xFF\r\nBE1=/" + kNichi +
                                                     "\r\nT=" + kNichiSjis + "\r\n");
    EXPECT_EQ(mixed.Find("SET", "BE1"), "/" + kNichi);
    EXPECT_EQ(mixed.Find("SET", "T"), kNichi);
    const IniDocument marked =
        IniDocument::ParseFile("\xEF\xBB\xBF[SET]\nBE1=" + kNichi + "\xFF\n");
    EXPECT_EQ(marked.Find("SET", "BE1"), kNichi + "\xEF\xBF\xBD");
}

TEST(ParseIniIntegerTest, DecimalAndHexadecimalWithSign) {
    EXPECT_EQ(ParseIniInteger("0"), 0);
    EXPECT_EQ(ParseIniInteger("20"), 20);
    EXPECT_EQ(ParseIniInteger("-5"), -5);
    EXPECT_EQ(ParseIniInteger("+7"), 7);
    EXPECT_EQ(ParseIniInteger("007"), 7);
    EXPECT_EQ(ParseIniInteger("0x40"), 64);
    EXPECT_EQ(ParseIniInteger("0X4a"), 74);
    EXPECT_EQ(ParseIniInteger("$1F"), 31);
    EXPECT_EQ(ParseIniInteger("-0x10"), -16);
    EXPECT_EQ(ParseIniInteger("-$10"), -16);
    EXPECT_EQ(ParseIniInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseIniInteger("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseIniInteger("0x7FFFFFFF"), 2147483647);
    EXPECT_EQ(ParseIniInteger("-0x80000000"), -2147483647 - 1);
}

TEST(ParseIniIntegerTest, AnythingElseIsNotAnInteger) {
    for (const char* text :
         {"",   "abc",        "12abc",      "true",        " 5",
          "5 ", "-",          "+",          "+-5",         "0x",
          "$",  "0x-5",       "1.5",        "1e3",         "x10",
          "$G", "0xFFFFFFFF", "2147483648", "-2147483649", "99999999999999999999"}) {
        EXPECT_EQ(ParseIniInteger(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace palomix
