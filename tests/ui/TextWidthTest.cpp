// Fast text widths must be exactly the widths a full layout measures.

#include "ui/Gdi.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::unique_ptr<Font> ChatFont() {
    return CreateFontW(16, 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET, OUT_DEVICE_PRECIS, 0, 0,
                       0, u"Arial");
}

TEST(TextWidth, AdditiveWidthsEqualFullLayoutsOfRandomText) {
    auto font = ChatFont();
    ASSERT_TRUE(font);
    platform::Font& f = *font->get();
    // Letters that kern against each other in most faces, digits, punctuation, accented Latin, Greek and
    // Cyrillic, with blanks inside and at the ends.
    const std::u16string alphabet =
        u"AVTYWLPFoaeyv.,;:'\"-!?()[]<>0123456789 fiflffélçñØßÆœΑΒΓΔΩαβγλπЖЩЯжщяёЁ—–…€";
    std::mt19937 random(11);
    int additive = 0;
    for (int n = 0; n < 2000; ++n) {
        std::u16string text;
        const int length = 1 + static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i)
            text.push_back(alphabet[random() % alphabet.size()]);
        bool adds = false;
        const std::int32_t fast = f.MeasureWidth(text, &adds);
        additive += adds ? 1 : 0;
        EXPECT_EQ(fast, f.Layout(text, -1, -1, nullptr)) << "text #" << n;
    }
    EXPECT_GT(additive, 1900) << "these characters are the face's own and should add up";
}

TEST(TextWidth, ShapedTextIsMeasuredInFullAndSaysSo) {
    auto font = ChatFont();
    platform::Font& f = *font->get();
    const std::u16string shaped[] = {
        u"日本語のテキスト",    u"emoji 😀👍🏽 ",   u"שלום עולם", u"مرحبا بالعالم",
        u"e\u0301\u0301\u0301", u"\u202Eoverride\u202C ", u"क्षत्रिय",    u"a\u200Bb",
    };
    for (const std::u16string& text : shaped) {
        bool adds = true;
        EXPECT_EQ(f.MeasureWidth(text, &adds), f.Layout(text, -1, -1, nullptr));
        EXPECT_FALSE(adds);
        // Served again from the font's cache, still the same.
        EXPECT_EQ(f.MeasureWidth(text, nullptr), f.Layout(text, -1, -1, nullptr));
    }
}

TEST(TextWidth, PiecesAddUpToTheWholeForAdditiveText) {
    auto font = ChatFont();
    platform::Font& f = *font->get();
    const std::u16string words[] = {u"[0:01:15] ", u"<AVery> ", u"Tyrannosaurus ", u"Жёлтый ", u"Ωmega."};
    std::u16string whole;
    std::int32_t sum = 0;
    for (const std::u16string& w : words) {
        whole += w;
        sum += f.MeasureWidth(w, nullptr);
    }
    EXPECT_EQ(sum, f.Layout(whole, -1, -1, nullptr));
}

} // namespace
