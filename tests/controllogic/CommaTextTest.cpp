#include "controllogic/CommaText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace palomix {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(CommaText, QuotedFieldsKeepTheirBlanksAndCommas) {
    EXPECT_THAT(SplitCommaText(R"("Phone video","320x240","phone.ini")"),
                ElementsAre("Phone video", "320x240", "phone.ini"));
    EXPECT_THAT(SplitCommaText(R"("a, b","c")"), ElementsAre("a, b", "c"));
}

TEST(CommaText, UnquotedFieldsEndAtACommaOrABlank) {
    EXPECT_THAT(SplitCommaText("Phone video,x"), ElementsAre("Phone", "video", "x"));
    EXPECT_THAT(SplitCommaText("a\tb"), ElementsAre("a", "b"));
    // A quote inside an unquoted field is an ordinary character.
    EXPECT_THAT(SplitCommaText(R"(ab"c,d)"), ElementsAre(R"(ab"c)", "d"));
}

TEST(CommaText, DoubledQuoteInsideAQuotedFieldStandsForOneQuote) {
    EXPECT_THAT(SplitCommaText(R"("a ""b"" c")"), ElementsAre(R"(a "b" c)"));
    EXPECT_THAT(SplitCommaText(R"("""")"), ElementsAre(R"(")"));
}

TEST(CommaText, EmptyFieldsFromATrailingCommaAndFromTwoCommas) {
    EXPECT_THAT(SplitCommaText(R"("a",)"), ElementsAre("a", ""));
    EXPECT_THAT(SplitCommaText(R"("a",,"b")"), ElementsAre("a", "", "b"));
    EXPECT_THAT(SplitCommaText(R"("a",  ,  "b" ,  )"), ElementsAre("a", "", "b", ""));
    EXPECT_THAT(SplitCommaText(","), ElementsAre("", ""));
    EXPECT_THAT(SplitCommaText(R"("",x)"), ElementsAre("", "x"));
}

TEST(CommaText, BlanksAndControlCharactersAroundFieldsAreSkipped) {
    EXPECT_THAT(SplitCommaText("\x01\t\r\n  \"a\" , \"b\"\t"), ElementsAre("a", "b"));
    EXPECT_THAT(SplitCommaText(""), IsEmpty());
    EXPECT_THAT(SplitCommaText(" \t\x1f "), IsEmpty());
}

TEST(CommaText, TextAfterAClosingQuoteStartsTheNextField) {
    EXPECT_THAT(SplitCommaText(R"("a"b,c)"), ElementsAre("a", "b", "c"));
    EXPECT_THAT(SplitCommaText(R"("a" "b")"), ElementsAre("a", "b"));
}

TEST(CommaText, AnUnclosedQuoteRunsToTheEndOfTheLine) {
    EXPECT_THAT(SplitCommaText(R"("a","b, c)"), ElementsAre("a", "b, c"));
    EXPECT_THAT(SplitCommaText(R"(")"), ElementsAre(""));
}

TEST(CommaText, ANulCharacterEndsTheLine) {
    const std::string line("\"a\",\"b\"\0,\"c\"", 12);
    EXPECT_THAT(SplitCommaText(line), ElementsAre("a", "b"));
    EXPECT_THAT(SplitCommaText(std::string("\0x", 2)), IsEmpty());
}

TEST(CommaText, MultiByteCharactersAreNeverTakenForQuotesCommasOrBlanks) {
    // Every byte of these characters is 0x80 or above, none is a blank.
    EXPECT_THAT(SplitCommaText("\"携帯動画\",\"ＱＶＧＡ，３２０\",\"設定.ini\""),
                ElementsAre("携帯動画", "ＱＶＧＡ，３２０", "設定.ini"));
    EXPECT_THAT(SplitCommaText("携帯 動画,é"), ElementsAre("携帯", "動画", "é"));
    // U+3000 (ideographic space) is a character, not a blank.
    EXPECT_THAT(SplitCommaText("a\u3000b"), ElementsAre("a\u3000b"));
}

TEST(CommaText, FieldByIndex) {
    const std::string line = R"("Phone video","320x240","phone.ini")";
    EXPECT_EQ(CommaTextField(line, 0), "Phone video");
    EXPECT_EQ(CommaTextField(line, 2), "phone.ini");
    EXPECT_EQ(CommaTextField(line, 3), "");
    EXPECT_EQ(CommaTextField("", 0), "");
}

}  // namespace
}  // namespace palomix
