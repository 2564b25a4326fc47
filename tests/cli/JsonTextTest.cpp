#include "cli/JsonText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "JsonReader.h"

namespace palomix::testing {
namespace {

TEST(JsonTextTest, EscapesWhatJsonNeedsAndKeepsUtf8Text) {
    EXPECT_EQ(JsonString("a \"q\" \\ $x;"), R"("a \"q\" \\ $x;")");
    // Every control character is escaped, C1 (U+009B, a one-character CSI) and DEL too.
    EXPECT_EQ(JsonString("l1\nl2\t\r\x01\x1b[2J\x7f\xC2\x9B"
                         "1m"),
              R"("l1\nl2\t\r\u0001\u001b[2J\u007f\u009b1m")");
    // Two-, three- and four-byte characters, and the highest one, stay as they are.
    const std::string text = "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF";
    EXPECT_EQ(JsonString(text), "\"" + text + "\"");
    EXPECT_EQ(JsonStringArray({}), "[]");
    EXPECT_EQ(JsonStringArray({"a", ""}), R"(["a",""])");
}

TEST(JsonTextTest, BytesThatAreNotUtf8BecomeLowSurrogateEscapes) {
    EXPECT_EQ(JsonString("a\xFF"), R"("a\udcff")");
    EXPECT_EQ(JsonString("\x80"), R"("\udc80")");                      // a lone continuation byte
    EXPECT_EQ(JsonString("\xE6\x97."), R"("\udce6\udc97.")");          // a cut-off character
    EXPECT_EQ(JsonString("\xC0\x80"), R"("\udcc0\udc80")");            // an overlong NUL
    EXPECT_EQ(JsonString("\xED\xA0\x80"), R"("\udced\udca0\udc80")");  // a surrogate
    EXPECT_EQ(JsonString("\xF4\x90\x80\x80"), R"("\udcf4\udc90\udc80\udc80")");  // > U+10FFFF
    EXPECT_EQ(JsonString("\xE6\x97\xE6\x97\xA5"), R"("\udce6\udc97)"
                                                  "\xE6\x97\xA5\"");  // resynchronises
}

// Whatever the bytes, a JSON reader gets them back exactly.
TEST(JsonTextTest, AnyBytesReadBackExactly) {
    std::mt19937 random(19);
    // Bytes drawn mostly from the interesting ranges: ASCII specials and UTF-8 lead and
    // continuation bytes, so that valid and broken sequences both turn up often.
    const std::string pool = std::string("\"\\\n\x01 a/") + "\x80\x8f\x90\x9f\xa0\xbf" +
                             "\xc2\xdf\xe0\xe6\xed\xef\xf0\xf4\xf5\xff";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            bytes += random() % 4 == 0 ? static_cast<char>(random() % 256)
                                       : pool[random() % pool.size()];
        }
        const std::string json = JsonString(bytes);
        ASSERT_EQ(JsonReader::Parse(json).text, bytes) << json;
    }
}

}  // namespace
}  // namespace palomix::testing
