#pragma once
// The network thread: owns every server exchange and the station connection table. Other threads ask it
// for work only through the sending operations below (each queues one message); results leave it only as
// messages that the exchanges queue themselves.
//
// Threading: the sending operations may be called from any thread. Everything else runs on the network
// thread. At most 60 exchanges are in flight, since one wait takes at most 64 handles (stop, message, the
// deadline timer and the exchanges' events). Requests beyond that wait in arrival order and start as
// exchanges end, so that a directory of many stations has every station asked in turn.
//
// Every exchange has a deadline: a connect time-out from its start to its connection (name lookup
// included), then an idle time-out between reads, short for stream data and longer for the catalogue.
// One timer wakes the thread at the earliest deadline, and exchanges past theirs end as network failures.

#include "app/MyThread.h"
#include "net/MyNetworkHandlerMessages.h"
#include "net/MyNetworkPacketBase.h"
#include "net/StreamCache.h"
#include "platform/Timer.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

class MyNetworkHandler : public MyThread {
public:
    static constexpr std::size_t kMaxExchangesInFlight = 60;

    struct Timeouts {
        std::chrono::milliseconds connect{10000};
        std::chrono::milliseconds streamIdle{5000};     // stream data: the player is waiting for it
        std::chrono::milliseconds catalogueIdle{30000}; // every other exchange
    };

    // Builds the exchange for a request message; null drops the request without a box. The station
    // record is given for types 0 to 3 and null otherwise.
    using ExchangeFactory = std::function<std::unique_ptr<MyNetworkPacketBase>(
        MyAppContext* context, const MyNetworkHandlerMessage& message,
        std::shared_ptr<const StationConnectionData> station)>;

    explicit MyNetworkHandler(MyAppContext* context);
    // Tests and benchmarks supply their own exchanges.
    MyNetworkHandler(MyAppContext* context, ExchangeFactory factory);
    ~MyNetworkHandler() override;

    // Before Start: the resolver every exchange uses (tests give one that fails or stalls), and the
    // time-outs.
    void SetResolver(NameResolver resolver) { resolver_ = std::move(resolver); }
    void SetTimeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }
    // Before Start: the cache of stream bytes already fetched. Without one (the default) every stream-data
    // request goes to the server; with one, a request whose first bytes are held is answered from it, as
    // far as it holds them in a row (the media thread asks the server for the rest), and every window
    // fetched is kept in it.
    void SetStreamCache(std::unique_ptr<StreamCache> cache) { streamCache_ = std::move(cache); }
    StreamCache* streamCache() { return streamCache_.get(); }

    void OnThreadStart() override;
    void HandleMessage(MyMessageBase* message) override;
    bool HandleWaitHandle(platform::Event* handle) override;

    // Sending operations, callable from any thread.
    void GetStreamData(std::int32_t stationId, std::int32_t streamId, std::int32_t requestNumber,
                       std::uint64_t startOffset, std::int32_t length = kStreamDataRequestLength);
    void GetTrackInfoList(std::int32_t stationId, std::int32_t streamId);
    void GetStreamChatRowList(std::int32_t stationId, std::int32_t streamId);
    void GetStationInfo(std::int32_t stationId);
    // Asks the station's server for shows and tracks matching `query`; the answer reaches the main window.
    void SearchTracks(std::int32_t stationId, std::u16string query, std::uint32_t generation);
    // The same for chat lines of every show, page `page` of them (from 0); each server is asked once a
    // query for each kind and page.
    void SearchChat(std::int32_t stationId, std::u16string query, std::uint32_t generation,
                    std::uint16_t page = 0);
    void GetStationsConnectionData();
    void AddStationConnectionData(std::unique_ptr<StationConnectionData> data);
    void GetApplicationUpdateInfo();
    void GetApplicationUpdateDownload();
    // Keeps `stream` (of the station called `stationName`) for offline listening: its whole recording,
    // track list and chat go into the stream cache, window by window, never removed to make room; it goes
    // on after a network failure (tried again every few seconds) and after a restart. How far it has come
    // reaches the main window as KeepProgress callbacks. Does nothing without a stream cache.
    void KeepShow(const StreamInfoData& stream, std::u16string stationName);
    void ForgetShow(std::int32_t stationId, std::int32_t streamId);

    // Exchanges in flight now, and requests waiting for a free place; readable from any thread (for tests
    // and benchmarks).
    std::size_t exchangesInFlight() const { return exchangesInFlight_.load(); }
    std::size_t requestsWaiting() const { return requestsWaiting_.load(); }

private:
    // A request that waits for a place in flight: a copy of its message and, for station requests, the
    // station's record as it was when asked.
    struct WaitingRequest {
        std::unique_ptr<MyNetworkHandlerMessage> message;
        std::shared_ptr<const StationConnectionData> station;
    };

    // Starts the request's exchange now, or queues it while every place is taken.
    void Request(const MyNetworkHandlerMessage& message,
                 std::shared_ptr<const StationConnectionData> station);
    // Starts waiting requests, oldest first, while places are free.
    void StartWaiting();
    // The common path: AddEvent, DoConnect, then into the in-flight table.
    void StartExchange(std::unique_ptr<MyNetworkPacketBase> exchange);
    // Types 0 to 3: the station's record, or null after the "not found" box.
    std::shared_ptr<const StationConnectionData> FindStation(std::int32_t stationId) const;
    void UpdateInFlightCount() {
        exchangesInFlight_ = inFlight_.size();
        requestsWaiting_ = waiting_.size();
    }
    // A stream-data request that cannot start still ends its series' pending state, as an exchange that
    // ended early would.
    void FinishUnstartedStreamData(const MyNetworkHandlerMessage& message);
    // A new series of a stream ends the exchanges of that stream's older series, and drops its waiting
    // requests.
    void CancelOlderSeries(const MyNetworkHandlerMessage_GetStreamData& message);
    // Kept shows (MyNetworkHandlerKeeping.cpp).
    using ShowKey = std::pair<std::int32_t, std::int32_t>; // station id, stream id
    // At the start: the kept shows in the cache, their stations' servers, and keeping what is not whole.
    void LoadKeptShows();
    void StartKeeping(KeptShow show);
    void Forget(std::int32_t stationId, std::int32_t streamId);
    // Starts the next piece of work of the first show not kept whole, unless one is in flight.
    void ContinueKeeping();
    void KeepExchangeEnded(MyNetworkPacketBase& exchange);
    void PostKeepProgress(const ShowKey& key);
    std::u16string KeptStreamName(const ShowKey& key) const;
    // A kept show's track list or chat read from its copy (types 1 and 2): true when answered.
    bool AnswerFromKeptCopy(const MyNetworkHandlerMessage& message);
    // Whether a directory or station-information exchange ended without its answer where the kept shows
    // know what it would have brought (no box is shown for it then).
    bool KeptShowsCover(const MyNetworkPacketBase& exchange) const;
    // Hands on what the kept shows know instead, when they cover it.
    void StandInForLostAnswer(const MyNetworkPacketBase& exchange);
    std::unique_ptr<StationInfoData> KeptStationInfo(std::int32_t stationId) const;

    // Answers the request from the stream cache when it holds the bytes at its start; false otherwise.
    bool AnswerFromCache(const MyNetworkHandlerMessage_GetStreamData& message,
                         const StationConnectionData& station);
    void EndExchange(std::map<platform::Event*, std::unique_ptr<MyNetworkPacketBase>>::iterator found);
    // Ends the exchanges past their deadline and sets the timer for the earliest one left.
    void ExpireDeadlines();

    MyAppContext* context;
    ExchangeFactory factory_;
    // Before the exchanges, which keep bytes in it as they end, so that it outlives them.
    std::unique_ptr<StreamCache> streamCache_;
    std::map<ShowKey, KeptShow> keptShows_;
    std::deque<ShowKey> keepQueue_; // shows not kept whole yet, first in line first
    platform::Event* keepExchange_ = nullptr;
    ShowKey keepingNow_{0, 0};
    int keepPart_ = 0; // 0 the recording, 1 the track list, 2 the chat
    std::uint64_t keepGapBefore_ = 0;
    std::vector<std::uint8_t> keepRecords_;
    platform::Timer keepRetryTimer_;
    bool keepRetryArmed_ = false;
    // Owns the exchanges, keyed by their event.
    std::map<platform::Event*, std::unique_ptr<MyNetworkPacketBase>> inFlight_;
    std::deque<WaitingRequest> waiting_;
    // Shared with the exchanges that use a record, so that one replaced here stays valid until they end.
    std::map<std::int32_t, std::shared_ptr<const StationConnectionData>> stationConnections_;
    // The servers already asked for the newest search, by host and port: a server answers a search for
    // every station it serves, so stations that share one are asked once.
    std::uint32_t searchGeneration_ = 0;
    // The servers asked for the current query: host, port, whether of chat, and the page.
    std::set<std::tuple<std::string, std::uint16_t, bool, std::uint16_t>> searchedServers_;
    std::atomic<std::size_t> exchangesInFlight_{0};
    std::atomic<std::size_t> requestsWaiting_{0};
    NameResolver resolver_;
    Timeouts timeouts_;
    platform::Timer deadlineTimer_;
};
