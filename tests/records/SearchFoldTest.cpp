// The search form of texts and the pattern search on it: case, accents and compatibility forms fold
// away in any script, a query's outer blanks do not count, and matches map back to the original units.

#include "records/SearchFold.h"

#include <gtest/gtest.h>

namespace {

TEST(SearchFold, CaseAccentsAndCompatibilityFormsFoldAway) {
    EXPECT_EQ(SearchForm(u"Ölfass"), u"olfass");
    EXPECT_EQ(SearchForm(u"ÖLFAß"), u"olfass");
    EXPECT_EQ(SearchForm(u"Crème BRÛLÉE"), u"creme brulee");
    // Decomposed accents (a letter and a combining mark) fold as the composed ones do.
    EXPECT_EQ(SearchForm(u"e\u0301te\u0301"), u"ete");
    EXPECT_EQ(SearchForm(u"ＦＵＬＬ ｗｉｄｔｈ"), u"full width");
    EXPECT_EQ(SearchForm(u"ﬁne"), u"fine");
    EXPECT_EQ(SearchForm(u"ΟΔΥΣΣΕΥΣ"), SearchForm(u"οδυσσευς"));
    EXPECT_EQ(SearchForm(u"Москва"), u"москва");
    EXPECT_EQ(SearchForm(u"Ёлка"), u"елка");
    // Scripts without case stay; Hangul syllables stay whole.
    EXPECT_EQ(SearchForm(u"日本語"), u"日本語");
    EXPECT_EQ(SearchForm(u"한국어"), u"한국어");
    EXPECT_EQ(SearchForm(u"\U0001F600x"), u"\U0001F600x");
}

TEST(SearchFold, PatternsFindTheFoldedQueryAnywhere) {
    const SearchPattern interview(u"  INTERVIEW ");
    EXPECT_EQ(interview.folded(), u"interview");
    EXPECT_EQ(interview.FindIn(SearchForm(u"about the Interview today")), 10u);
    EXPECT_EQ(interview.FindIn(SearchForm(u"interviews and interviews"), 1), 15u);
    EXPECT_EQ(interview.FindIn(SearchForm(u"intervie")), std::u16string_view::npos);
    EXPECT_TRUE(SearchPattern(u"   ").empty());
    EXPECT_EQ(SearchPattern(u"   ").FindIn(u"anything"), std::u16string_view::npos);
    // Units sharing a low byte with the pattern's do not make it skip a match.
    const SearchPattern mixed(u"a\u4E61b");
    EXPECT_EQ(mixed.FindIn(std::u16string(u"\u4E61\u4E61a\u4E61b")), 2u);
    EXPECT_EQ(SearchPattern(u"a\u0160b").FindIn(SearchForm(u"xxA\u0160B")), 2u) << "Š folds to s";
    // Every length from one unit up, against a naive search.
    const std::u16string haystack = SearchForm(u"abracadabra ÀBRÀCÀDÀBRÀ abra");
    for (std::size_t length = 1; length <= 6; ++length) {
        const std::u16string query = haystack.substr(3, length);
        const SearchPattern pattern(query);
        std::size_t from = 0;
        while (true) {
            const std::size_t expected = haystack.find(query, from);
            EXPECT_EQ(pattern.FindIn(haystack, from), expected) << "length " << length << " from " << from;
            if (expected == std::u16string::npos)
                break;
            from = expected + 1;
        }
    }
}

TEST(SearchFold, MatchesMapBackToTheOriginalText) {
    const SearchPattern strasse(u"strasse");
    const std::u16string text = u"Die Straße, die STRASSE";
    const auto ranges = strasse.MatchesIn(text);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(text.substr(ranges[0].first, ranges[0].second - ranges[0].first), u"Straße");
    EXPECT_EQ(text.substr(ranges[1].first, ranges[1].second - ranges[1].first), u"STRASSE");
    const std::u16string decomposed = u"cafe\u0301 cafe";
    const auto cafe = SearchPattern(u"CAFÉ").MatchesIn(decomposed);
    ASSERT_EQ(cafe.size(), 2u) << "with and without the accent";
    EXPECT_EQ(cafe[0], (std::pair<std::size_t, std::size_t>{0, 5})) << "with the accent that follows";
    EXPECT_EQ(cafe[1], (std::pair<std::size_t, std::size_t>{6, 10}));
    const std::u16string emoji = u"a\U0001F600b";
    const auto smile = SearchPattern(u"\U0001F600").MatchesIn(emoji);
    ASSERT_EQ(smile.size(), 1u);
    EXPECT_EQ(smile[0], (std::pair<std::size_t, std::size_t>{1, 3}));
    EXPECT_TRUE(SearchPattern(u"").MatchesIn(text).empty());
}

} // namespace
