#pragma once
// What the catalogue exchange tests need around an exchange: a media thread and a network thread that
// record the messages the exchange queues to them (in one journal, so that the order across both is
// seen), and a feeder that offers a body to HandleData the way the exchange layer does: bytes arrive in
// pieces, consumed bytes leave the front, a partial record waits for the next piece.

#include "app/MyAppContext.h"
#include "media/MyMediaHandler.h"
#include "net/MyNetworkHandler.h"
#include "net/MyNetworkPacketBase.h"
#include "support/Deadline.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// One message an exchange queued, with its payload taken over.
struct JournalEntry {
    enum Receiver { Media, Network } receiver = Media;
    std::int32_t type = 0;
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t tag = 0;
    bool requestFinished = false;
    std::unique_ptr<Mp3DataBlock> block;
    std::unique_ptr<TrackInfoList> trackList;
    std::unique_ptr<StreamChatRowList> chatRows;
    std::unique_ptr<StationInfoData> info;
    StationIdList ids;
    std::unique_ptr<StationConnectionData> station;
};

class Journal {
public:
    void Add(JournalEntry entry) {
        std::lock_guard guard(lock_);
        entries_.push_back(std::move(entry));
    }
    std::vector<JournalEntry> Take() {
        std::lock_guard guard(lock_);
        return std::move(entries_);
    }
    std::size_t size() {
        std::lock_guard guard(lock_);
        return entries_.size();
    }

private:
    std::mutex lock_;
    std::vector<JournalEntry> entries_;
};

// A marker message: when a thread has handled it, it has handled everything queued before it.
struct MarkerMessage : MyMessageBase {
    explicit MarkerMessage(std::atomic<int>* seen) : MyMessageBase(1000), seen(seen) {}
    std::atomic<int>* seen;
};

class RecordingMediaThread : public MyMediaHandler {
public:
    RecordingMediaThread(MyAppContext* context, Journal* journal)
        : MyMediaHandler(context), journal_(journal) {}
    ~RecordingMediaThread() override {
        Stop();
        WaitForEnd(5000);
    }
    void HandleMessage(MyMessageBase* message) override;

private:
    Journal* journal_;
};

class RecordingNetworkThread : public MyNetworkHandler {
public:
    RecordingNetworkThread(MyAppContext* context, Journal* journal)
        : MyNetworkHandler(context), journal_(journal) {}
    ~RecordingNetworkThread() override {
        Stop();
        WaitForEnd(5000);
    }
    void HandleMessage(MyMessageBase* message) override;

private:
    Journal* journal_;
};

// A context whose media and network threads record into one journal.
class CatalogueHarness {
public:
    CatalogueHarness();
    ~CatalogueHarness();

    // Waits until both threads have handled everything queued so far, then hands over the journal.
    std::vector<JournalEntry> Settle();

    std::shared_ptr<const StationConnectionData> station;
    MyAppContext context;
    Journal journal;
    std::unique_ptr<RecordingMediaThread> media;
    std::unique_ptr<RecordingNetworkThread> network;
};

// Offers `body` to the exchange in the pieces given by `cuts` (offsets where one read ends and the next
// begins). Answers false once HandleData answered -1 (the exchange ended); `left` receives the bytes
// still held then or at the end.
bool FeedBody(MyNetworkPacketBase& exchange, std::string_view body, const std::vector<std::size_t>& cuts,
              std::string* left = nullptr);
bool FeedBodyInOne(MyNetworkPacketBase& exchange, std::string_view body, std::string* left = nullptr);

} // namespace testsupport
