// Catalogue figures over loopback, printed as numbers:
// - a chat log of 200,000 rows (mixed kinds, UTF-8 texts of realistic length): time from the request to
//   the StreamChat callback, and the heap the stored rows take beyond their texts;
// - a station information response with 10,000 streams: time from the request to the StationInfo
//   callback.
// Each figure runs several times on fresh threads; the minimum and the median are printed.

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "heap/HeapCount.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "platform/MessageBox.h"
#include "platform/PostTarget.h"
#include "support/CatalogueResponses.h"
#include "support/ScriptedServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class QuietBoxes : public platform::MessageBoxSink {
public:
    platform::MessageBoxResult Show(const std::u16string& text, const std::u16string&,
                                    platform::MessageBoxButtons) override {
        ++count;
        (void)text;
        return platform::MessageBoxResult::Ok;
    }
    std::atomic<int> count{0};
};

// A media thread whose current stream can be chosen before it starts.
class BenchMediaHandler : public MyMediaHandler {
public:
    using MyMediaHandler::MyMediaHandler;
    void StoreAndMakeCurrent(std::unique_ptr<StationInfoData> station, std::int32_t streamId) {
        const std::int32_t stationId = station->stationId;
        MyMediaHandlerMessage_AddStationInfo message(std::move(station));
        HandleMessage(&message);
        currentStream = FindStream(stationId, streamId);
    }
};

// The threads of one run: a media thread, a network thread that knows station 1 at `port`, and the main
// window's queue.
struct Run {
    explicit Run(std::uint16_t port) {
        context.callbacks = &callbacks;
        context.mainWindowHandle = &window;
        context.mediaHandler = &media;
        context.networkHandler = &network;
        auto station = std::make_unique<StationConnectionData>("127.0.0.1");
        station->stationId = 1;
        station->port = port;
        network.AddStationConnectionData(std::move(station));
    }
    ~Run() {
        network.Stop();
        network.WaitForEnd(5000);
        media.Stop();
        media.WaitForEnd(5000);
        platform::WindowMessage message;
        while (window.Take(message, 0))
            MyCallbacks::Receive(message.wParam);
    }
    // Waits for the next callback; null after 30 s.
    std::unique_ptr<MyOwnerWindowMessageBase> NextCallback() {
        platform::WindowMessage message;
        if (!window.Take(message, 30000))
            return nullptr;
        return MyCallbacks::Receive(message.wParam);
    }

    MyAppContext context;
    MyCallbacks callbacks{&context};
    platform::MessageQueue window;
    BenchMediaHandler media{&context};
    MyNetworkHandler network{&context};
};

std::string RandomText(std::mt19937& random, int minLength, int maxLength) {
    static const char* const words[] = {"the",
                                        "radio",
                                        "show",
                                        "tonight",
                                        "great",
                                        "track",
                                        "who",
                                        "is",
                                        "this",
                                        "\xC3\xA4nd",
                                        "caf\xC3\xA9",
                                        "\xE2\x99\xAB",
                                        "lol",
                                        "again",
                                        "mix",
                                        "bass",
                                        "\xE6\x97\xA5\xE6\x9C\xAC",
                                        "love",
                                        "it",
                                        "\xF0\x9F\x8E\xB6"};
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(words)) - 1);
    const int want = length(random);
    std::string out;
    while (static_cast<int>(out.size()) < want) {
        if (!out.empty())
            out += ' ';
        out += words[pick(random)];
    }
    return out;
}

struct ChatLog {
    std::string body;
    std::size_t rows = 0;
};

ChatLog MakeChatLog(std::size_t rows) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> kindPick(0, 99);
    auto nick = [&] { return RandomText(random, 3, 10).substr(0, 12); };
    ChatLog log;
    log.rows = rows;
    log.body = testsupport::ChatHeader(static_cast<std::int32_t>(rows));
    std::int32_t time = 0;
    for (std::size_t i = 0; i < rows; ++i) {
        time += static_cast<std::int32_t>(random() % 3);
        const int k = kindPick(random);
        std::vector<std::string> args;
        std::uint8_t kind;
        if (k < 70) {
            kind = 1, args = {nick(), RandomText(random, 10, 120)};
        } else if (k < 78) {
            kind = 3, args = {nick()};
        } else if (k < 85) {
            kind = 5, args = {nick(), RandomText(random, 5, 30)};
        } else if (k < 90) {
            kind = 2, args = {nick(), RandomText(random, 8, 60)};
        } else if (k < 93) {
            kind = 6, args = {nick(), nick()};
        } else if (k < 95) {
            kind = 8, args = {nick(), "+o", nick()};
        } else if (k < 97) {
            kind = 9, args = {nick(), nick(), RandomText(random, 5, 30)};
        } else {
            kind = 3, args = {nick(), "a join with a stray argument"}; // dropped by the media thread
        }
        log.body += testsupport::ChatRowRecord(time, kind, args);
    }
    return log;
}

std::string MakeStationInfo(int streams) {
    std::mt19937 random(99);
    std::string body = testsupport::StationHeader(5, "Benchmark FM", "Ten thousand shows", streams);
    for (int i = 0; i < streams; ++i) {
        testsupport::StreamFields s;
        s.streamId = i + 1;
        s.startTime = 1'500'000'000 + i * 7200;
        s.streamType = static_cast<std::uint8_t>(1 + i % 3);
        s.hasChat = static_cast<std::uint8_t>(i % 2);
        s.text1 = RandomText(random, 10, 40);
        s.text2 = RandomText(random, 5, 20);
        s.text3 = RandomText(random, 10, 50);
        body += testsupport::StreamRecord(s);
    }
    return body;
}

void PrintTimes(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%s: min %.1f ms, median %.1f ms over %zu runs\n", what, ms.front(), ms[ms.size() / 2],
                ms.size());
}

void ChatFigures() {
    const ChatLog log = MakeChatLog(200'000);
    testsupport::Script script;
    script.AwaitRequest().Send(testsupport::HttpResponse(log.body)).Close();
    testsupport::ScriptedServer server(script);
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        Run threads(server.port());
        auto station = std::make_unique<StationInfoData>(1);
        auto stream = std::make_unique<StreamInfoData>();
        stream->stationId = 1;
        stream->streamId = 7;
        stream->hasChat = true;
        station->StoreStream(std::move(stream));
        threads.media.StoreAndMakeCurrent(std::move(station), 7);
        threads.NextCallback(); // the StationInfo of the store above
        threads.media.Start();
        threads.network.Start();

        const long long before = benchheap::liveBytes.load();
        const Clock::time_point start = Clock::now();
        threads.network.GetStreamChatRowList(1, 7);
        auto callback = threads.NextCallback();
        const Clock::time_point end = Clock::now();
        if (!callback || callback->type != MyCallbacks::MessageType_StreamChat) {
            std::printf("chat: no StreamChat callback\n");
            return;
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        const StreamChatRowList* rows =
            static_cast<MyCallbacks::MyMainWindowMessage_StreamChatCallback&>(*callback).chatRows;
        callback.reset();
        while (threads.network.exchangesInFlight() != 0)
            std::this_thread::yield();
        const long long stored = benchheap::liveBytes.load() - before;
        if (run == 0 && rows) {
            // Texts as UTF-16 units, without their terminators; the glibc estimate rounds each block up
            // to its 16-byte chunk with 8 bytes of header (32 bytes at least).
            long long textBytes = 0;
            long long glibc = 0;
            auto chunk = [](long long n) { return std::max(32LL, (n + 8 + 15) & ~15LL); };
            for (const StreamChatRow& row : *rows) {
                long long units = 0;
                for (int a = 0; a < row.argCount; ++a)
                    units += static_cast<long long>(row.arg(a).size());
                textBytes += units * 2;
                glibc += chunk((units + row.argCount) * 2);
            }
            glibc += chunk(static_cast<long long>(rows->capacity() * sizeof(StreamChatRow)));
            const double n = static_cast<double>(rows->size());
            std::printf("chat: %zu rows sent, %zu stored, %zu bytes of body\n", log.rows, rows->size(),
                        log.body.size());
            std::printf("chat: stored rows take %lld heap bytes requested, %lld of them UTF-16 text\n",
                        stored, textBytes);
            std::printf(
                "chat: overhead beyond the texts: %.1f bytes per row requested, %.1f bytes per row with "
                "glibc chunk rounding (estimate)\n",
                (static_cast<double>(stored) - static_cast<double>(textBytes)) / n,
                (static_cast<double>(glibc) - static_cast<double>(textBytes)) / n);
        }
    }
    PrintTimes("chat: request to StreamChat callback, 200000 rows", times);
}

void StationInfoFigures() {
    const std::string body = MakeStationInfo(10'000);
    testsupport::Script script;
    script.AwaitRequest().Send(testsupport::HttpResponse(body)).Close();
    testsupport::ScriptedServer server(script);
    std::vector<double> times;
    for (int run = 0; run < 10; ++run) {
        Run threads(server.port());
        threads.media.Start();
        threads.network.Start();
        const Clock::time_point start = Clock::now();
        threads.network.GetStationInfo(1);
        auto callback = threads.NextCallback();
        const Clock::time_point end = Clock::now();
        if (!callback || callback->type != MyCallbacks::MessageType_StationInfo) {
            std::printf("station information: no StationInfo callback\n");
            return;
        }
        const StationInfoData* station =
            static_cast<MyCallbacks::MyMainWindowMessage_StationInfoCallback&>(*callback).station;
        if (run == 0)
            std::printf("station information: %zu streams, %zu bytes of body\n", station->streams.size(),
                        body.size());
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    PrintTimes("station information: request to StationInfo callback, 10000 streams", times);
}

} // namespace

int main() {
    QuietBoxes boxes;
    platform::SetMessageBoxSink(&boxes);
    ChatFigures();
    StationInfoFigures();
    if (boxes.count)
        std::printf("error boxes: %d\n", boxes.count.load());
    platform::SetMessageBoxSink(nullptr);
    return 0;
}
