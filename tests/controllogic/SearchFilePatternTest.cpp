#include "controllogic/SearchFilePattern.h"

#include <gtest/gtest.h>

namespace palomix {
namespace {

bool Matches(const char* pattern, const char* name) {
    return SearchFilePattern(pattern).Matches(name);
}

TEST(SearchFilePatternTest, StarDotStarMatchesEveryName) {
    EXPECT_TRUE(SearchFilePattern("*.*").MatchesAll());
    EXPECT_TRUE(Matches("*.*", "README"));
    EXPECT_TRUE(Matches("*.*", "a.b.c"));
    EXPECT_TRUE(Matches("*.*", ".hidden"));
    EXPECT_TRUE(Matches("*", "README"));
}

TEST(SearchFilePatternTest, ExtensionPatterns) {
    EXPECT_TRUE(Matches("*.avi", "clip.avi"));
    EXPECT_TRUE(Matches("*.avi", "CLIP.AVI"));
    EXPECT_TRUE(Matches("*.avi", "x.y.avi"));
    EXPECT_TRUE(Matches("*.ini", ".ini"));
    EXPECT_FALSE(Matches("*.avi", "avi"));
    EXPECT_FALSE(Matches("*.avi", "clip.avi.bak"));
    EXPECT_FALSE(Matches("*.avi", "clip.avix"));
    EXPECT_TRUE(Matches("clip*", "Clip01.mp4"));
    EXPECT_FALSE(Matches("clip*", "myclip"));
}

TEST(SearchFilePatternTest, StarDotMatchesNamesWithoutADot) {
    EXPECT_TRUE(Matches("*.", "README"));
    EXPECT_FALSE(Matches("*.", "read.me"));
}

TEST(SearchFilePatternTest, QuestionMarkTakesOneCharacterOrNothingAtADot) {
    EXPECT_TRUE(Matches("?.avi", "a.avi"));
    EXPECT_FALSE(Matches("?.avi", "ab.avi"));
    EXPECT_TRUE(Matches("a?.txt", "ab.txt"));
    EXPECT_TRUE(Matches("a?.txt", "a.txt"));
    EXPECT_TRUE(Matches("clip??", "clip"));
    EXPECT_TRUE(Matches("clip??", "clip1"));
    EXPECT_FALSE(Matches("clip??", "clip123"));
    EXPECT_TRUE(Matches("*.a?i", "x.AVI"));
}

TEST(SearchFilePatternTest, CaseIsIgnoredBeyondAscii) {
    EXPECT_TRUE(Matches("ÄRGER*", "ärger.txt"));
    EXPECT_TRUE(Matches("*.Ж", "файл.ж"));
    EXPECT_TRUE(Matches("ＡＢＣ*", "ａｂｃ.mp4"));
    EXPECT_TRUE(Matches("動画*.mp4", "動画01.MP4"));
    EXPECT_FALSE(Matches("動画*.mp4", "画像01.mp4"));
    EXPECT_TRUE(Matches("?.mp4", "動.mp4"));  // one character, not one byte
}

TEST(SearchFilePatternTest, InvalidUtf8MatchesOnlyItself) {
    EXPECT_TRUE(Matches("a\xff*", "a\xff.txt"));
    EXPECT_FALSE(Matches("a\xff*", "a\xfe.txt"));
    EXPECT_TRUE(Matches("?.txt", "\xff.txt"));
}

TEST(SearchFilePatternTest, LiteralPatternMatchesExactlyThatName) {
    EXPECT_TRUE(Matches("Palomix.ini", "palomix.INI"));
    EXPECT_FALSE(Matches("Palomix.ini", "Palomix.ini2"));
    EXPECT_FALSE(Matches("Palomix.ini", "Palomix"));
}

}  // namespace
}  // namespace palomix
