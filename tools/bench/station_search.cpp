// Station server search figures: an archive of 1,000 shows of 30 tracks each and 5,000,000 chat rows in
// all (5,000 a show) is built in memory and served on loopback; the bench then times searchtracks/ and
// searchchat/ requests from a client of its own (connect, request, read the whole answer), several
// queries each, and prints the median, p99 and worst wall times, the time the search index took to build
// at load and the bytes it holds. The texts are made-up words with some accented, Cyrillic and CJK ones.
//
//   bench_station_search [SHOWS [CHAT_ROWS]]      prints the figures (1000 and 5000000 by default)

#include "Catalogue.h"
#include "HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace station;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<std::string> MakeWords(std::mt19937& random) {
    const char* syllables[] = {"ka", "lo", "mi", "ne", "ro", "ta", "vi", "su",  "den", "ber", "gal", "tor",
                               "an", "el", "is", "ok", "ul", "ya", "zo", "pre", "the", "and", "ing", "st"};
    std::vector<std::string> words;
    for (int i = 0; i < 5000; ++i) {
        std::string w;
        const int n = 1 + static_cast<int>(random() % 3);
        for (int s = 0; s < n; ++s)
            w += syllables[random() % std::size(syllables)];
        words.push_back(w);
    }
    for (const char* special : {"café", "Björk", "Привет", "日本語", "INTERVIEW", "naïve", "Straße"})
        words.push_back(special);
    return words;
}

std::string Phrase(std::mt19937& random, const std::vector<std::string>& words, int least, int most) {
    std::string text;
    const int n = least + static_cast<int>(random() % static_cast<unsigned>(most - least + 1));
    for (int i = 0; i < n; ++i) {
        if (i)
            text += ' ';
        text += words[random() % words.size()];
    }
    return text;
}

Archive MakeArchive(int shows, long long chatRows) {
    std::mt19937 random(20261209);
    const std::vector<std::string> words = MakeWords(random);
    Archive archive;
    const int stations = 10;
    const long long rowsPerShow = chatRows / shows;
    for (int s = 1; s <= stations; ++s) {
        Station& station = archive.stations[s];
        station.id = s;
        station.name = "Station " + std::to_string(s);
        station.basePath = DefaultBasePath(s);
    }
    for (int show = 0; show < shows; ++show) {
        Station& station = archive.stations[1 + show % stations];
        Stream& stream = station.streams[show + 1];
        stream.id = show + 1;
        stream.duration = 10800;
        stream.text1 = Phrase(random, words, 2, 4);
        stream.text2 = "DJ " + words[random() % words.size()];
        for (int t = 0; t < 30; ++t) {
            Track track;
            track.start = t * 360;
            track.secondTime = track.start + 360;
            track.text1 = Phrase(random, words, 1, 2);
            track.text2 = Phrase(random, words, 1, 4);
            stream.tracks.push_back(std::move(track));
        }
        stream.hasChat = true;
        stream.chat.reserve(static_cast<std::size_t>(rowsPerShow));
        for (long long r = 0; r < rowsPerShow; ++r) {
            ChatRow row;
            row.time = static_cast<std::int32_t>(r * 10800 / rowsPerShow);
            row.kind = 1;
            row.args = {"user" + std::to_string(random() % 500), Phrase(random, words, 3, 12)};
            stream.chat.push_back(std::move(row));
        }
    }
    return archive;
}

// One request on a connection of its own; the bytes of the whole answer (0 on failure).
std::size_t Fetch(std::uint16_t port, const std::string& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::size_t total = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request =
            "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            ssize_t got;
            while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                total += static_cast<std::size_t>(got);
        }
    }
    ::close(fd);
    return total;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    const int shows = argc > 1 ? std::atoi(argv[1]) : 1000;
    const long long chatRows = argc > 2 ? std::atoll(argv[2]) : 5000000;
    std::printf("station search: %d shows x 30 tracks, %lld chat rows\n", shows, chatRows);
    Archive archive = MakeArchive(shows, chatRows);
    const auto buildStart = Clock::now();
    auto catalogue = Catalogue::Build(std::move(archive));
    const double buildMs = Ms(Clock::now() - buildStart);
    if (!catalogue.ok()) {
        std::fprintf(stderr, "catalogue: %s\n", catalogue.failure().Text().c_str());
        return 1;
    }
    const ArchiveSearch& index = (*catalogue)->search();
    std::printf("  catalogue build at load (bodies and search index): %.0f ms\n", buildMs);
    std::printf("  search index: %zu track entries, %zu chat entries, %.1f MB\n", index.trackEntries(),
                index.chatEntries(), static_cast<double>(index.Bytes()) / 1e6);

    ServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    auto server = HttpServer::Start(*catalogue, options);
    if (!server.ok()) {
        std::fprintf(stderr, "server: %s\n", server.failure().Text().c_str());
        return 1;
    }
    const std::uint16_t port = (*server)->port();
    struct Query {
        const char* label;
        std::string target;
        int count;
    };
    const std::vector<Query> queries = {
        {"searchtracks common word", "/searchtracks/?q=the", 300},
        {"searchtracks accented", "/searchtracks/?q=CAFE", 300},
        {"searchtracks absent", "/searchtracks/?q=no+such+title", 300},
        {"searchchat rare word", "/searchchat/?q=interview", 60},
        {"searchchat page 40", "/searchchat/?q=interview&page=40", 60},
        {"searchchat Cyrillic", "/searchchat/?q=%D0%BF%D1%80%D0%B8%D0%B2%D0%B5%D1%82", 60},
        {"searchchat absent", "/searchchat/?q=no+such+words+at+all", 60},
    };
    for (const Query& q : queries) {
        std::vector<double> times;
        std::size_t bytes = 0;
        for (int i = 0; i < q.count; ++i) {
            const auto start = Clock::now();
            bytes = Fetch(port, q.target);
            times.push_back(Ms(Clock::now() - start));
        }
        std::sort(times.begin(), times.end());
        const double p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
        std::printf("  %-26s median %7.2f ms  p99 %7.2f ms  worst %7.2f ms  (%d requests, %zu bytes each)\n",
                    q.label, times[times.size() / 2], p99, times.back(), q.count, bytes);
    }
    return 0;
}
