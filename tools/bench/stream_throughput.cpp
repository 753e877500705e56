// Loopback throughput of one stream-data-like exchange (body cut into 4096-byte blocks and queued to a
// consumer thread) against a plain recv loop over the same kind of socket, measured in one run.

#include "app/MyAppContext.h"
#include "app/MyThread.h"
#include "net/MyNetworkHandler.h"
#include "platform/Event.h"
#include "platform/Socket.h"
#include "records/CatalogueRecords.h"
#include "support/ScriptedServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kBodyBytes = 64u << 20; // per run
constexpr int kRounds = 5;

// Like the stream-data exchange's message: every block one read completed, in one message.
struct BlockMessage : MyMessageBase {
    explicit BlockMessage(std::vector<std::unique_ptr<Mp3DataBlock>> blocks)
        : MyMessageBase(1), blocks(std::move(blocks)) {}
    std::vector<std::unique_ptr<Mp3DataBlock>> blocks;
};

// Stands in for the media thread: takes blocks and counts their bytes.
class Consumer : public MyThread {
public:
    ~Consumer() override {
        Stop();
        WaitForEnd(5000);
    }
    void HandleMessage(MyMessageBase* message) override {
        auto* blockMessage = static_cast<BlockMessage*>(message);
        std::lock_guard guard(lock);
        for (const auto& block : blockMessage->blocks)
            bytes += block->fill;
        if (bytes >= target)
            done.notify_all();
    }
    void Expect(std::size_t count) {
        std::lock_guard guard(lock);
        bytes = 0;
        target = count;
    }
    void WaitAll() {
        std::unique_lock guard(lock);
        done.wait(guard, [&] { return bytes >= target; });
    }

private:
    std::mutex lock;
    std::condition_variable done;
    std::size_t bytes = 0;
    std::size_t target = 0;
};

// Like the stream-data exchange: whole 4096-byte blocks, those of one read queued to the consumer in one
// message.
class StreamLikeExchange : public MyNetworkPacketBase {
public:
    StreamLikeExchange(MyAppContext* context, std::shared_ptr<const StationConnectionData> station,
                       Consumer* consumer)
        : MyNetworkPacketBase(context, NetworkPacketType_RequestStreamData), consumer_(consumer) {
        connectionData = std::move(station);
    }
    bool SendRequest() override {
        return SendRequestText("getstreamdata/?streamid=1&start=0&length=524288", " HTTP/1.1\r\n",
                               "&debug HTTP/1.1\r\n");
    }
    int HandleData(const char* data, int length) override {
        if (!consumer_) {
            // Exchange layer alone: whole blocks are counted, nothing is handed on.
            int taken = length - length % static_cast<int>(Mp3DataBlock::kCapacity);
            counted_ += static_cast<std::size_t>(taken);
            if (counted_ >= kBodyBytes) {
                Disconnect(NETWORKERROR_NONE);
                return -1;
            }
            return taken;
        }
        int taken = 0;
        std::vector<std::unique_ptr<Mp3DataBlock>> blocks;
        while (length - taken >= static_cast<int>(Mp3DataBlock::kCapacity)) {
            auto block = std::make_unique<Mp3DataBlock>();
            std::memcpy(block->data, data + taken, Mp3DataBlock::kCapacity);
            block->fill = Mp3DataBlock::kCapacity;
            blocks.push_back(std::move(block));
            taken += static_cast<int>(Mp3DataBlock::kCapacity);
        }
        if (!blocks.empty())
            consumer_->QueueMessage(std::make_unique<BlockMessage>(std::move(blocks)));
        return taken;
    }

private:
    Consumer* consumer_;
    std::size_t counted_ = 0;
};

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double ExchangeRun(const testsupport::ScriptedServer& server, bool handOn) {
    MyAppContext context;
    Consumer consumer;
    consumer.Start();
    consumer.Expect(kBodyBytes);
    MyNetworkHandler handler(&context, [&](MyAppContext* c, const MyNetworkHandlerMessage&,
                                           std::shared_ptr<const StationConnectionData>) {
        auto station = std::make_shared<StationConnectionData>(server.host());
        station->port = server.port();
        return std::make_unique<StreamLikeExchange>(c, std::move(station), handOn ? &consumer : nullptr);
    });
    handler.Start();
    auto start = std::chrono::steady_clock::now();
    handler.GetStationsConnectionData();
    if (handOn) {
        consumer.WaitAll();
    } else {
        // The exchange ends itself after the last block; the in-flight count drops once it has.
        while (handler.exchangesInFlight() == 0 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
            std::this_thread::yield();
        while (handler.exchangesInFlight() != 0)
            std::this_thread::yield();
    }
    auto elapsed = std::chrono::steady_clock::now() - start;
    handler.Stop();
    handler.WaitForEnd(5000);
    return Seconds(elapsed);
}

double PlainRun(const testsupport::ScriptedServer& server) {
    platform::Event event;
    platform::Socket socket;
    platform::ResolveResult resolved = platform::Resolve(server.host(), std::to_string(server.port()));
    socket.Create(resolved.addresses.front().family);
    socket.EventSelect(event, platform::kRead | platform::kWrite | platform::kConnect | platform::kClose);
    auto start = std::chrono::steady_clock::now();
    socket.Connect(resolved.addresses.front());
    static char buffer[16384];
    std::size_t total = 0;
    bool open = true;
    while (open) {
        platform::Event* events[] = {&event};
        if (platform::WaitForAny(events) != 0)
            break;
        platform::NetworkEvents pending;
        socket.EnumNetworkEvents(pending);
        if (pending.events & platform::kWrite) {
            const char request[] = "GET /x HTTP/1.1\r\nConnection: Close\r\n\r\n";
            int error = 0;
            socket.Send(request, sizeof request - 1, &error);
        }
        if (pending.events & platform::kRead) {
            for (;;) {
                int error = 0;
                long got = socket.Recv(buffer, sizeof buffer, &error);
                if (got > 0) {
                    total += static_cast<std::size_t>(got);
                    continue;
                }
                if (got == 0 || error != platform::kWouldBlock)
                    open = false;
                break;
            }
        }
        if (pending.events & platform::kClose)
            open = false;
    }
    auto elapsed = std::chrono::steady_clock::now() - start;
    if (total < kBodyBytes)
        std::fprintf(stderr, "plain loop read only %zu bytes\n", total);
    return Seconds(elapsed);
}

} // namespace

int main() {
    const std::string body(kBodyBytes, 'm');
    testsupport::Script script;
    script.AwaitRequest().Send(testsupport::HttpResponse(body)).Close();
    testsupport::ScriptedServer server(script);
    std::vector<double> exchange, layerOnly, plain;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(PlainRun(server));
        exchange.push_back(ExchangeRun(server, true));
        layerOnly.push_back(ExchangeRun(server, false));
    }
    std::sort(exchange.begin(), exchange.end());
    std::sort(layerOnly.begin(), layerOnly.end());
    std::sort(plain.begin(), plain.end());
    const double mb = static_cast<double>(kBodyBytes) / (1 << 20);
    const double exchangeRate = mb / exchange[kRounds / 2];
    const double plainRate = mb / plain[kRounds / 2];
    std::printf("body %zu MiB per run, %d rounds, medians\n", kBodyBytes >> 20, kRounds);
    std::printf("exchange (4096-byte blocks to a consumer thread): %.0f MiB/s\n", exchangeRate);
    std::printf("exchange layer alone (blocks counted, not queued): %.0f MiB/s\n",
                mb / layerOnly[kRounds / 2]);
    std::printf("plain recv loop:                                   %.0f MiB/s\n", plainRate);
    std::printf("ratio exchange / plain: %.2f\n", exchangeRate / plainRate);
    return 0;
}
