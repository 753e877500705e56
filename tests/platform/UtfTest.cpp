#include "platform/Utf.h"

#include <gtest/gtest.h>

TEST(Utf, RoundTripsEveryPlane) {
    std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xB5"; // a, é, 日, 🎵
    std::u16string wide = Utf8ToUtf16(text);
    EXPECT_EQ(wide, u"a\u00e9\u65e5\U0001F3B5");
    EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, IllFormedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");                 // cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");             // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80x"), u"\uFFFDx");       // a surrogate
    EXPECT_EQ(Utf8ToUtf16("\xFFok"), u"\uFFFDok");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}
