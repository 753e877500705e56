#include "net/MyNetworkPacket_RequestTrackSearch.h"

#include "app/MyAppContext.h"
#include "app/MyCallbacks.h"
#include "net/ResponseLimits.h"
#include "platform/Utf.h"
#include "records/WireFormat.h"

#include <algorithm>

namespace {

constexpr const char* kNormalTail = " HTTP/1.1\r\n";
constexpr const char* kDebugTail = "&debug HTTP/1.1\r\n";

} // namespace

std::string EncodeSearchQuery(std::u16string_view query) {
    std::size_t units = std::min(query.size(), kMaxSearchQueryUnits);
    // A high surrogate left last would lose its pair.
    if (units < query.size() && units > 0 && query[units - 1] >= 0xD800 && query[units - 1] <= 0xDBFF)
        --units;
    const std::string utf8 = Utf16ToUtf8(query.substr(0, units));
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '.' || byte == '_' || byte == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        }
    }
    return out;
}

MyNetworkPacket_RequestTrackSearch::MyNetworkPacket_RequestTrackSearch(
    MyAppContext* context, std::shared_ptr<const StationConnectionData> station, std::int32_t stationId,
    std::u16string query, std::uint32_t generation, bool chat, std::uint16_t page)
    : MyNetworkRecordPacketBase(context, NetworkPacketType_RequestTrackSearch), query(std::move(query)),
      chat(chat), page(page), results(std::make_unique<TrackSearchResults>()) {
    // The server answers a search for every station it serves at its root, not under a station's path.
    if (station) {
        auto atRoot = std::make_shared<StationConnectionData>(*station);
        atRoot->basePath = "/";
        connectionData = std::move(atRoot);
    }
    results->generation = generation;
    results->stationId = stationId;
    results->chat = chat;
    results->page = page;
    SetBodyLimit(kMaxTrackSearchBodyBytes);
}

MyNetworkPacket_RequestTrackSearch::~MyNetworkPacket_RequestTrackSearch() = default;

std::string MyNetworkPacket_RequestTrackSearch::PathAndQuery() const {
    std::string path = (chat ? "searchchat/?q=" : "searchtracks/?q=") + EncodeSearchQuery(query);
    if (page > 0)
        path += "&page=" + std::to_string(page);
    return path;
}

bool MyNetworkPacket_RequestTrackSearch::SendRequest() {
    return SendRequestText(PathAndQuery(), kNormalTail, kDebugTail);
}

std::string MyNetworkPacket_RequestTrackSearch::RequestText() const {
    return ComposeRequest(PathAndQuery(), kNormalTail, kDebugTail);
}

void MyNetworkPacket_RequestTrackSearch::Deliver() {
    resultDelivered = true;
    if (context && context->callbacks)
        context->callbacks->TrackSearch(std::move(results));
    results.reset();
}

MyNetworkRecordPacketBase::RecordOutcome
MyNetworkPacket_RequestTrackSearch::HandleRecord(ResponseRecord& record) {
    if (!results)
        return RecordOutcome_InvalidData; // nothing is read once the result has gone
    RecordReader& in = record.fields;
    if (!headerSeen) {
        std::uint8_t version = 0, kind = 0, more = 0;
        std::uint32_t total = 0;
        std::uint16_t answerPage = 0, perPage = 0, count = 0;
        if (record.type != ResponseRecordType_SearchHeader || !in.ReadByte(version))
            return RecordOutcome_InvalidData;
        if (version != kSearchFormatVersion)
            return RecordOutcome_WrongVersion;
        if (!in.ReadByte(kind) || !in.ReadUInt32(total) || !in.ReadUInt16(answerPage) ||
            !in.ReadUInt16(perPage) || !in.ReadUInt16(count) || !in.ReadByte(more) || !in.atEnd() ||
            kind != (results->chat ? kSearchKindChat : kSearchKindTracks) || count > kMostHits ||
            count > total || answerPage != page)
            return RecordOutcome_InvalidData;
        headerSeen = true;
        expectedHits = count;
        results->total = total;
        results->more = more != 0;
        results->perPage = perPage;
        results->hits.reserve(count);
    } else {
        if (record.type != (results->chat ? ResponseRecordType_ChatHit : ResponseRecordType_TrackHit))
            return RecordOutcome_InvalidData;
        TrackSearchHit hit;
        std::uint8_t show = 0; // for a chat line, the line's kind
        if (!in.ReadInt32(hit.stationId) || !in.ReadInt32(hit.streamId) || !in.ReadInt32(hit.second) ||
            !in.ReadByte(show) || !in.ReadText(hit.text1) || !in.ReadText(hit.text2) || !in.atEnd() ||
            (show > 1 && !results->chat) || (results->chat && hit.second < 0))
            return RecordOutcome_InvalidData;
        hit.show = show != 0 && !results->chat;
        results->hits.push_back(std::move(hit));
    }
    if (results->hits.size() < expectedHits)
        return RecordOutcome_Next;
    results->answered = true;
    Deliver();
    return RecordOutcome_Delivered;
}

void MyNetworkPacket_RequestTrackSearch::Disconnect(NetworkError) {
    // Whatever went wrong, the listener still has the local search: no box.
    MyNetworkPacketBase::Disconnect(NETWORKERROR_NONE);
    if (resultDelivered || !results)
        return;
    results->answered = false;
    results->hits.clear();
    results->total = 0;
    results->more = false;
    Deliver(); // one end message per exchange
}
