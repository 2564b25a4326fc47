#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace palomix {
namespace {

const std::string kNihon = "\xE6\x97\xA5\xE6\x9C\xAC";  // "日本" in UTF-8
const std::string kNihonSjis = "\x93\xFA\x96\x7B";      // "日本" in Shift-JIS
const std::string kReplacement = "\xEF\xBF\xBD";        // U+FFFD

TEST(IsValidUtf8Test, AcceptsAsciiAndWellFormedCharacters) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII text that is longer than one block of eight"));
    EXPECT_TRUE(IsValidUtf8(kNihon));
    EXPECT_TRUE(IsValidUtf8("\xC2\x80"));                 // U+0080, smallest two-byte form
    EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF"));             // U+D7FF, just below surrogates
    EXPECT_TRUE(IsValidUtf8("\xEE\x80\x80"));             // U+E000, just above them
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xAC"));         // U+1F3AC, four bytes
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));         // U+10FFFF, the last one
    EXPECT_TRUE(IsValidUtf8("12345678" + kNihon + "x"));  // after a whole ASCII block
}

TEST(IsValidUtf8Test, RejectsOverlongSurrogateOutOfRangeAndBrokenSequences) {
    for (const std::string bad : {
             "\xC0\x80",          // overlong NUL
             "\xC1\xBF",          // overlong
             "\xE0\x80\xAF",      // overlong '/'
             "\xE0\x9F\xBF",      // overlong, three bytes
             "\xF0\x8F\xBF\xBF",  // overlong, four bytes
             "\xED\xA0\x80",      // high surrogate U+D800
             "\xED\xBF\xBF",      // low surrogate U+DFFF
             "\xF4\x90\x80\x80",  // U+110000
             "\xF5\x80\x80\x80",  // lead byte beyond the range
             "\xFF",              // never in UTF-8
             "\x80",              // continuation without a lead
             "\xE6\x97",          // cut off at the end
             "\xE6\x97x",         // interrupted by ASCII
             "abcdefgh\x93\xFA",  // Shift-JIS after a whole ASCII block
         }) {
        EXPECT_FALSE(IsValidUtf8(bad)) << testing::PrintToString(bad);
    }
}

TEST(Cp932ToUtf8Test, DecodesJapaneseHalfWidthKanaAndAscii) {
    EXPECT_EQ(Cp932ToUtf8(kNihonSjis), kNihon);
    EXPECT_EQ(Cp932ToUtf8("Title=" + kNihonSjis + "\r\n"), "Title=" + kNihon + "\r\n");
    EXPECT_EQ(Cp932ToUtf8("\xB1"), "\xEF\xBD\xB1");  // half-width katakana A, U+FF71
    // In CP932 0x5C is the backslash of paths (not a yen sign), also after a character
    // whose second byte is 0x5C ("表" = 0x95 0x5C).
    EXPECT_EQ(Cp932ToUtf8("C:\\\x95\x5C\\a"), "C:\\\xE8\xA1\xA8\\a");
    EXPECT_EQ(Cp932ToUtf8("\x81\x68"), "\xE2\x80\x9D");  // right double quotation mark
    EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Cp932ToUtf8Test, ReplacesUndecodableCharactersAndGoesOn) {
    // A lead byte cut off at the end.
    EXPECT_EQ(Cp932ToUtf8("ab\x93"), "ab" + kReplacement);
    // A lead byte followed by a byte that cannot follow it: the second byte is kept.
    EXPECT_EQ(Cp932ToUtf8("\x93 x"), kReplacement + " x");
    // A two-byte code with no character (row 0x85 is unassigned): one replacement.
    EXPECT_EQ(Cp932ToUtf8("\x85\x40"
                          "A"),
              kReplacement + "A");
    // Bytes that are no character at all.
    const std::string decoded = Cp932ToUtf8("\xFF\xFE" + kNihonSjis);
    EXPECT_TRUE(decoded.ends_with(kNihon)) << decoded;
    EXPECT_TRUE(IsValidUtf8(decoded));
}

TEST(DecodeTextTest, TakesUtf8AsItIsAndDropsAByteOrderMark) {
    EXPECT_EQ(DecodeText("[Info]\r\nTitle=" + kNihon), "[Info]\r\nTitle=" + kNihon);
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF[Info]"), "[Info]");
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF"), "");
    EXPECT_EQ(DecodeText(""), "");
}

TEST(DecodeTextTest, DecodesTextThatIsNotUtf8AsShiftJis) {
    EXPECT_EQ(DecodeText("Title=" + kNihonSjis), "Title=" + kNihon);
}

TEST(DecodeTextTest, DecidesEachLineOfUnmarkedTextByItself) {
    EXPECT_EQ(DecodeText("a=" + kNihon + "\r\nb=\xFF\nc=" + kNihonSjis + "\r"),
              "a=" + kNihon + "\r\nb=" + kReplacement + "\nc=" + kNihon + "\r");
}

TEST(DecodeTextTest, DecodesUtf16WithEitherByteOrderMark) {
    EXPECT_EQ(DecodeText(std::string("\xFF\xFE[\0\xE5\x65", 6)), "[" + kNihon.substr(0, 3));
    EXPECT_EQ(DecodeText(std::string("\xFE\xFF\0[\x65\xE5", 6)), "[" + kNihon.substr(0, 3));
}

TEST(Utf16Test, RoundTripsEveryCharacterAndReplacesBrokenSurrogates) {
    const std::string text = "a\xC2\x80" + kNihon + "\xEF\xBF\xBF\xF0\x9F\x8E\xAC\xF4\x8F\xBF\xBF";
    for (const bool bigEndian : {false, true}) {
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text, bigEndian), bigEndian), text);
    }
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xAC", false), "\x3C\xD8\xAC\xDF");
    // A high surrogate without its low one, a low one alone, half a unit at the end.
    EXPECT_EQ(Utf16ToUtf8(std::string("\x3C\xD8"
                                      "a\0"
                                      "\xAC\xDF"
                                      "b",
                                      7),
                          false),
              kReplacement + "a" + kReplacement + kReplacement);
    EXPECT_EQ(Utf8ToUtf16("\xFF", true), "\xFF\xFD");
}

TEST(DecodeTextTest, AfterAByteOrderMarkOnlyTheBadBytesAreReplaced) {
    // A UTF-8 file with one damaged byte keeps its Japanese text.
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" + kNihon + "\xFF" + "x"), kNihon + kReplacement + "x");
}

TEST(DecodeTextTest, BytesThatAreNeitherGiveValidUtf8) {
    std::string garbage;
    for (int i = 0; i < 256; ++i) {
        garbage += static_cast<char>(255 - i);
        garbage += static_cast<char>(i);
    }
    const std::string decoded = DecodeText(garbage);
    EXPECT_TRUE(IsValidUtf8(decoded));
    EXPECT_NE(decoded.find(kReplacement), std::string::npos);
}

}  // namespace
}  // namespace palomix
