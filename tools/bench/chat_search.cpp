// Chat search figures: folding 200,000 composed chat lines into the search index (once per show, on the
// first search), and finding the lines that hold a query in it, for queries that match often, rarely
// and never, with capitals and accents. The lines are generated: messages of 3 to 20 words of made-up
// syllables with some accented, Cyrillic, CJK and emoji words, as a busy three-hour show has them.
// Figures are the process's CPU time (std::clock), the best and the median of 15 runs.
//
//   bench_chat_search [ROWS]      prints the figures (ROWS: 200000 by default)

#include "panels/ChatSearchIndex.h"
#include "platform/Utf.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

double Milliseconds(std::clock_t ticks) {
    return 1000.0 * static_cast<double>(ticks) / CLOCKS_PER_SEC;
}

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

void MakeLines(ChatLineStore& lines, int count) {
    std::mt19937 random(20261209);
    const char* syllables[] = {"ka", "lo", "mi", "ne", "ro", "ta", "vi", "su",  "den", "ber", "gal", "tor",
                               "an", "el", "is", "ok", "ul", "ya", "zo", "pre", "the", "and", "ing", "st"};
    std::vector<std::u16string> words;
    for (int i = 0; i < 3000; ++i) {
        std::string w;
        const int n = 1 + static_cast<int>(random() % 3);
        for (int s = 0; s < n; ++s)
            w += syllables[random() % std::size(syllables)];
        if (random() % 10 == 0)
            w[0] = static_cast<char>(w[0] - 32);
        words.push_back(Ascii(w));
    }
    const std::u16string special[] = {u"café", u"Ölfass", u"😀", u"日本語", u"Привет", u"INTERVIEW", u"naïve"};
    lines.Reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int second = static_cast<int>(static_cast<long long>(i) * 10800 / count);
        const std::string stamp = "[" + std::to_string(second / 3600) + ":" +
                                  std::to_string(second / 600 % 6) + std::to_string(second / 60 % 10) + ":" +
                                  std::to_string(second % 60 / 10) + std::to_string(second % 10) + "] <user" +
                                  std::to_string(random() % 300) + "> ";
        std::u16string text = Ascii(stamp);
        const int n = 3 + static_cast<int>(random() % 18);
        for (int w = 0; w < n; ++w) {
            if (w)
                text += u' ';
            text +=
                random() % 40 == 0 ? special[random() % std::size(special)] : words[random() % words.size()];
        }
        lines.Add(second, text, 0xFFFFFF);
    }
    lines.Compact();
}

struct Figure {
    double best;
    double median;
};

template <typename Run> Figure Measure(Run run) {
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        const std::clock_t start = std::clock();
        run();
        times.push_back(Milliseconds(std::clock() - start));
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200000;
    ChatLineStore lines;
    MakeLines(lines, count);
    std::size_t units = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        units += lines.Text(i).size();
    std::printf("chat search over %d lines (%.1f million UTF-16 units)\n", count,
                static_cast<double>(units) / 1e6);

    ChatSearchIndex index;
    const Figure build = Measure([&] { index.Build(lines); });
    std::printf("  index build (fold every line)   best %7.2f ms  median %7.2f ms  (%.1f MB)\n", build.best,
                build.median, static_cast<double>(index.Bytes()) / 1e6);

    const char16_t* queries[] = {u"the",    u"interview",          u"CAFE", u"olfass",
                                 u"日本語", u"no such words here", u"e"};
    for (const char16_t* query : queries) {
        const SearchPattern pattern(query);
        std::size_t found = 0;
        const Figure search = Measure([&] { found = index.Find(pattern).size(); });
        std::printf("  search %-20s best %7.2f ms  median %7.2f ms  %7zu lines\n",
                    ("\"" + Utf16ToUtf8(query) + "\"").c_str(), search.best, search.median, found);
    }
    // The first search of a show folds the lines and then searches them.
    ChatSearchIndex fresh;
    const Figure first = Measure([&] {
        fresh.Build(lines);
        (void)fresh.Find(SearchPattern(u"interview")).size();
    });
    std::printf("  first search (build + search)   best %7.2f ms  median %7.2f ms\n", first.best,
                first.median);

    // As the chat panel holds a show's chat: lines composed from the show's rows when read.
    StreamChatRowList rows;
    rows.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view text = lines.Text(i);
        const std::size_t nickEnd = text.find(u"> ");
        const std::size_t nickStart = text.find(u'<') + 1;
        rows.push_back(
            StreamChatRow(lines[i].time, StreamChatRowKind_Message,
                          {text.substr(nickStart, nickEnd - nickStart), text.substr(nickEnd + 2)}));
    }
    ChatLineStore composed;
    composed.SetRows(&rows, 4096);
    for (std::size_t i = 0; i < rows.size(); ++i)
        composed.AddRowLine(i, rows[i].time, 0xFFFFFF);
    ChatSearchIndex fromRows;
    const Figure rowsBuild = Measure([&] { fromRows.Build(composed); });
    std::printf("  index build of lines from rows  best %7.2f ms  median %7.2f ms  (%.1f MB)\n",
                rowsBuild.best, rowsBuild.median, static_cast<double>(fromRows.Bytes()) / 1e6);
    return 0;
}
