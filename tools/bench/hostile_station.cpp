// What a station that never stops sending costs the player, printed as numbers: over loopback, a real
// network thread asks for a chat, a track list and a station's information while the server sends
// records without end. For each: the seconds until the exchange ended itself, the peak heap the process
// held meanwhile above what it held before, and the error box that ended it.

#include "app/MyAppContext.h"
#include "heap/HeapCount.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "platform/MessageBox.h"
#include "support/CatalogueResponses.h"
#include "support/ScriptedServer.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kWithoutEnd = std::uint64_t(1) << 40;

class RecordingBoxes : public platform::MessageBoxSink {
public:
    platform::MessageBoxResult Show(const std::u16string& text, const std::u16string&,
                                    platform::MessageBoxButtons) override {
        if (count++ == 0)
            for (char16_t c : text.substr(0, text.find(u'\r')))
                first += static_cast<char>(c < 0x80 ? c : '?');
        return platform::MessageBoxResult::Ok;
    }
    std::atomic<int> count{0};
    std::string first;
};

// One hostile answer: `head` once after the status line, then `repeated` without end.
void Figure(const char* what, const std::string& head, const std::string& repeated,
            const std::function<void(MyNetworkHandler&)>& ask) {
    RecordingBoxes boxes;
    platform::MessageBoxSink* previous = platform::SetMessageBoxSink(&boxes);
    {
        testsupport::ScriptedServer server(testsupport::Script()
                                               .AwaitRequest()
                                               .Send("HTTP/1.1 200 OK\r\n\r\n" + head)
                                               .Repeat(repeated, kWithoutEnd));
        MyAppContext context;
        // Not started: what the exchanges hand on waits in its queue, as a busy media thread's would.
        MyMediaHandler media(&context);
        MyNetworkHandler network(&context);
        context.mediaHandler = &media;
        context.networkHandler = &network;
        auto station = std::make_unique<StationConnectionData>("127.0.0.1");
        station->stationId = 1;
        station->port = server.port();
        network.AddStationConnectionData(std::move(station));
        network.Start();

        const long long before = benchheap::liveBytes.load();
        benchheap::peakBytes = before;
        const Clock::time_point start = Clock::now();
        ask(network);
        const Clock::time_point deadline = start + std::chrono::seconds(300);
        while (boxes.count == 0 && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("%s: ended after %.2f s, peak heap +%.1f MiB, box \"%s\"\n", what, seconds,
                    static_cast<double>(benchheap::peakBytes.load() - before) / (1 << 20),
                    boxes.count ? boxes.first.c_str() : "none (still running at the deadline)");
        network.Stop();
        network.WaitForEnd(5000);
    }
    platform::SetMessageBoxSink(previous);
}

} // namespace

int main() {
    // Rows of about 200 bytes under a header that announces the most rows taken: the body limit ends it.
    const std::string row = testsupport::ChatRowRecord(5, 1, {"someone", std::string(180, 'w')});
    Figure("chat rows without end", testsupport::ChatHeader(2'000'000), row,
           [](MyNetworkHandler& n) { n.GetStreamChatRowList(1, 7); });
    Figure("track list headers without end", "", testsupport::TrackListHeader(10'000),
           [](MyNetworkHandler& n) { n.GetTrackInfoList(1, 7); });
    testsupport::StreamFields stream;
    stream.text1.assign(1500, 's');
    Figure("one stream record without end", testsupport::StationHeader(4, "Endless", "", 2),
           testsupport::StreamRecord(stream), [](MyNetworkHandler& n) { n.GetStationInfo(1); });
    return 0;
}
