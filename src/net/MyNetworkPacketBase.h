#pragma once
// One server exchange: its own TCP connection, exactly one HTTP/1.1 GET request, the response headers
// collected, the body (chunked transfer coding removed) handed to the concrete class's parser, then the
// end. No connection reuse, redirects or retries. Everything here runs on the network thread, except the
// name lookup, which runs on a helper thread and signals the event when its answer is in.
//
// Life: constructed by the network thread from a message; its event added to the thread's wait handles;
// DoConnect starts the lookup; its answer -> connect; kConnect -> Connected; kWrite -> SendRequest ->
// ReceivingHeaders; kRead -> headers -> ReceivingData -> HandleData until the parser has its result and calls
// Disconnect(NETWORKERROR_NONE), or the peer closes or an error ends it. A status other than 2xx ends the
// exchange at its status line, as a server that failed to answer (no box): an error page is never data.
// HandleNetworkEvent answering false means the exchange is over (its socket closed); the network thread then
// deletes it.

#include "net/NameLookup.h"
#include "net/NetworkError.h"
#include "net/StationConnectionData.h"
#include "platform/Event.h"
#include "platform/Socket.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MyAppContext;

// Exchange type numbers, fixed by each concrete constructor.
enum NetworkPacketType : std::int32_t {
    NetworkPacketType_RequestStreamData = 0,
    NetworkPacketType_RequestTrackInfoList = 1,
    NetworkPacketType_RequestStreamChatRowList = 2,
    NetworkPacketType_RequestStationInfo = 3,
    NetworkPacketType_RequestStationsConnectionData = 4,
    NetworkPacketType_RequestApplicationUpdateInfo = 5,
    NetworkPacketType_RequestApplicationUpdateDownload = 6,
    NetworkPacketType_RequestTrackSearch = 7,
};

class MyNetworkPacketBase {
public:
    static constexpr std::size_t kReceiveBufferSize = 16384;
    static constexpr std::size_t kMaxHeaderLines = 20;

    MyNetworkPacketBase(MyAppContext* context, std::int32_t type);
    virtual ~MyNetworkPacketBase();
    MyNetworkPacketBase(const MyNetworkPacketBase&) = delete;
    MyNetworkPacketBase& operator=(const MyNetworkPacketBase&) = delete;

    // Slot 1: builds the request text and sends it; false when it could not be sent whole.
    virtual bool SendRequest() = 0;
    // Slot 2: offered the de-chunked body bytes at the front of the receive buffer. Answers the count of
    // bytes consumed (whole records only), 0 when it needs more, or -1 to stop parsing.
    virtual int HandleData(const char* data, int length) = 0;
    // Slot 3: reports the error's box, closes the socket, sets RequestStatus_Disconnected. Concrete classes
    // call this base version first, then release partial results and send what their Part names.
    virtual void Disconnect(NetworkError error);

    using Clock = std::chrono::steady_clock;

    // Starts the connection: the name lookup first, off this thread. Called once, after the event was
    // added to the wait handles; false when it could not even begin.
    bool DoConnect();
    // Called each time the event is signalled; false when the exchange is over.
    bool HandleNetworkEvent();
    // Whether the exchange ended before its connection was made (lookup or connect failed), so that the
    // network thread reports it as a start that failed.
    bool startFailed() const { return startFailed_; }

    // The resolver for the lookup (the system's when none is given). Before DoConnect.
    void SetResolver(NameResolver resolver) { resolver_ = std::move(resolver); }
    // The time allowed from DoConnect to the connection, and between two reads of the response once
    // connected. Before DoConnect.
    void SetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds idle);
    // The most body bytes (after chunked decoding) the response may bring; past it the exchange ends as
    // invalid data. Each concrete class sets the limit of its kind (net/ResponseLimits.h); unlimited here.
    void SetBodyLimit(std::uint64_t bytes) { bodyLimit_ = bytes; }
    std::uint64_t bodyLimit() const { return bodyLimit_; }
    // When the exchange runs out of time if nothing happens first.
    Clock::time_point deadline() const { return deadline_; }
    // Ends an exchange whose deadline has passed, as a network failure without a box.
    void TimeOut();

    std::int32_t type() const { return type_; }
    platform::Event& event() { return event_; }
    RequestStatus requestStatus() const { return requestStatus_; }
    const std::vector<std::string>& headerLines() const { return headerLines_; }
    bool chunked() const { return chunked_; }
    bool connected() const { return clientSocket_.valid(); }
    // Whether the catalogue exchange (directory, station information, track list, chat) has handed on the
    // answer it was for; an end message without a result does not count.
    bool answered() const { return answered_; }

protected:
    // The common request skeleton: "GET " base path, `pathAndQuery`, then `normalTail` or, in debug mode,
    // `debugTail`, then the HOST, User-Agent and Connection lines and the empty line. Sends it once.
    bool SendRequestText(const std::string& pathAndQuery, const char* normalTail, const char* debugTail);
    // The text SendRequestText sends, for tests and for the classes' own use.
    std::string ComposeRequest(const std::string& pathAndQuery, const char* normalTail,
                               const char* debugTail) const;
    bool debugMode() const;

    MyAppContext* context;
    // Borrowed from the network thread's station table (station requests, kept alive by a shared owner),
    // or owned by the exchange (directory and update requests).
    std::shared_ptr<const StationConnectionData> connectionData;
    std::uint8_t formatVersion = 0; // station information format version
    bool resultDelivered = false;   // the concrete class has handed its complete result on
    bool answered_ = false;         // see answered()

private:
    friend struct NetworkPacketTestAccess; // feeds response bytes without a peer, for tests and fuzzing

    // Takes `count` bytes just received at the end of the held ones and parses them. True to read on;
    // false when reading stops, with `answer` what HandleNetworkEvent answers.
    bool TakeReceived(std::uint32_t count, bool& answer);
    bool ParseHeaders();
    // True to go on reading, false when the exchange has ended or the parser asked to stop.
    bool ParseBody();
    // One offer to HandleData: 1 when it consumed bytes, 0 when nothing was consumed, -1 to stop.
    int ParseBodyOnce();
    // Body bytes received so far: those the parser consumed and those of the body held now.
    std::uint64_t bodyBytesSeen() const;
    void RemoveFront(std::size_t count);
    void RemoveAt(std::size_t offset, std::size_t count);

    // The lookup's answer is in: connect to the first address. False when the exchange has ended.
    bool ConnectResolved();
    void ExtendDeadline() { deadline_ = Clock::now() + idleTimeout_; }

    std::int32_t type_;
    platform::Event event_;
    NameResolver resolver_;
    std::unique_ptr<NameLookup> lookup_;
    bool startFailed_ = false;
    std::chrono::milliseconds connectTimeout_{10000};
    std::chrono::milliseconds idleTimeout_{30000};
    Clock::time_point deadline_ = Clock::time_point::max();
    std::vector<std::string> headerLines_;
    platform::Socket clientSocket_;
    RequestStatus requestStatus_ = RequestStatus_Disconnected;
    char receiveBuffer_[kReceiveBufferSize];
    std::uint32_t receiveBufferPos_ = 0;
    bool chunked_ = false;
    std::uint32_t chunkDataReady_ = 0;
    std::uint64_t bodyConsumed_ = 0;
    std::uint64_t bodyLimit_ = std::numeric_limits<std::uint64_t>::max();
};

// Whether a status line is that of a successful answer (HTTP, status 200 to 299).
bool IsSuccessStatusLine(std::string_view line);
// For a Transfer-Encoding header line, whether its last coding is chunked (names and codings compared
// without regard to case); none for any other line.
std::optional<bool> TransferEncodingIsChunked(std::string_view line);

// Chunk-size line parsing over `data` (from the chunk data ready offset). Kept free for tests and fuzzing.
enum class ChunkSizeLine { Valid, Incomplete, Invalid };
ChunkSizeLine ParseChunkSizeLine(const char* data, std::size_t available, std::uint32_t* size,
                                 std::size_t* lineLength);
