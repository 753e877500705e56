// The station's podcast feed over HTTP: the feed, and each item's recording, chapters and transcript.

#include "Feed.h"
#include "HttpHeaders.h"
#include "HttpServerState.h"

#include <arpa/inet.h>

namespace station {

namespace {

constexpr const char* kFeedType = "application/rss+xml; charset=utf-8";
constexpr const char* kChaptersType = "application/json+chapters; charset=utf-8";
constexpr const char* kTranscriptType = "text/vtt; charset=utf-8";

// Whether an If-Range condition (null when absent) lets the range apply: only to the version it names.
bool RangeApplies(const char* ifRange, const Validators& validators) {
    if (!ifRange)
        return true;
    const std::string_view condition(ifRange);
    if (condition.starts_with("\"") || condition.starts_with("W/"))
        return condition == validators.etag; // a strong comparison; weak tags never match
    const std::optional<std::time_t> date = ParseHttpDate(condition);
    return date && *date == validators.lastModified;
}

} // namespace

std::optional<std::string> HttpServer::State::FeedBase(const char* hostHeader) const {
    const std::uint16_t shownPort = options.publicPort != 0 ? options.publicPort : port;
    // An IPv6 address as a URL's host is written in brackets.
    auto withPort = [shownPort](const std::string& host) {
        in6_addr v6{};
        const bool ipv6 = ::inet_pton(AF_INET6, host.c_str(), &v6) == 1;
        return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(shownPort);
    };
    if (!options.publicHost.empty())
        return BaseFromHost(withPort(options.publicHost));
    if (hostHeader)
        return BaseFromHost(hostHeader);
    // An HTTP/1.0 client that named no host: the address listened on.
    return BaseFromHost(withPort(options.address));
}

MHD_Result HttpServer::State::SendFeed(MHD_Connection* connection, const Loaded& source,
                                       const FeedTarget& feed, const char* hostHeader,
                                       std::string_view target) {
    const Catalogue& catalogue = *source.catalogue;
    const auto found = catalogue.archive().stations.find(feed.stationId);
    const ServedStation* served =
        found == catalogue.archive().stations.end() ? nullptr : catalogue.FindStation(found->second.basePath);
    if (!served)
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: no such station", target);
    const Station& station = found->second;

    if (feed.kind == FeedTarget::Feed) {
        const std::optional<std::string> base = FeedBase(hostHeader);
        if (!base)
            return Refuse(connection, MHD_HTTP_BAD_REQUEST, "Bad Request: the Host header names no host",
                          target);
        // The feed is made from what the station's information is made from, and names the host: its
        // tag is known before the feed is written, so a current copy costs no writing at all.
        const std::string tag = SourceTag("feed", served->infoTag + '\0' + *base, 0);
        if (auto answered = AnswerNotModified(connection, {tag, source.at}, kCacheStationInfo, target))
            return *answered;
        return SendBody(connection, source, {}, FeedXml(station, *base), target, kCacheStationInfo, &tag,
                        nullptr, kFeedType);
    }

    const auto item = served->streams.find(feed.streamId);
    if (item == served->streams.end())
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: the station has no such show", target);
    const Stream& stream = *item->second.stream;
    switch (feed.kind) {
    case FeedTarget::Recording:
        return SendRecording(connection, stream, target);
    case FeedTarget::Chapters: {
        const std::string tag = SourceTag("chapters", stream.sources, 0);
        if (auto answered = AnswerNotModified(connection, {tag, source.at}, kCacheCatalogue, target))
            return *answered;
        return SendBody(connection, source, {}, ChaptersJson(stream), target, kCacheCatalogue, &tag, nullptr,
                        kChaptersType);
    }
    case FeedTarget::Transcript: {
        if (!stream.hasChat)
            return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found: the show has no chat log", target);
        const std::string tag = SourceTag("transcript", stream.sources, 0);
        if (auto answered = AnswerNotModified(connection, {tag, source.at}, kCacheCatalogue, target))
            return *answered;
        return SendBody(connection, source, {}, TranscriptVtt(stream), target, kCacheCatalogue, &tag, nullptr,
                        kTranscriptType);
    }
    default:
        return Refuse(connection, MHD_HTTP_NOT_FOUND, "Not Found", target);
    }
}

MHD_Result HttpServer::State::SendRecording(MHD_Connection* connection, const Stream& stream,
                                            std::string_view target) {
    FileDescriptor fd;
    std::uint64_t size = 0;
    struct stat facts {};
    if (!OpenRecording(stream, fd, size, facts))
        return Refuse(connection, MHD_HTTP_INTERNAL_SERVER_ERROR, "the recording cannot be read", target);
    // The whole file's validators, for the whole answer and for each part of it alike.
    const Validators validators = RecordingValidators(facts, 0, size);
    if (auto answered = AnswerNotModified(connection, validators, kCacheCatalogue, target))
        return *answered;

    ByteRange range;
    if (RangeApplies(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_RANGE),
                     validators))
        range = ParseByteRange(
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE), size);
    if (range.kind == ByteRange::Unsatisfiable) {
        const std::string text = "416 Range Not Satisfiable\n";
        ResponsePtr response(MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()),
                                                             MHD_RESPMEM_MUST_COPY));
        if (response) {
            MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE,
                                    "text/plain; charset=utf-8");
            MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_RANGE,
                                    ("bytes */" + std::to_string(size)).c_str());
            AddValidators(response.get(), validators, kCacheCatalogue);
        }
        return Queue(connection, MHD_HTTP_RANGE_NOT_SATISFIABLE, std::move(response), target, text.size());
    }
    const bool part = range.kind == ByteRange::Part;
    const std::uint64_t start = part ? range.start : 0;
    const std::uint64_t count = part ? range.count : size;
    ResponsePtr response = FileResponse(fd, start, count, options.chunked ? options.chunkBytes : 0);
    if (response) {
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "audio/mpeg");
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_ACCEPT_RANGES, "bytes");
        AddValidators(response.get(), validators, kCacheCatalogue);
        if (part)
            MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_RANGE,
                                    ("bytes " + std::to_string(start) + "-" +
                                     std::to_string(start + count - 1) + "/" + std::to_string(size))
                                        .c_str());
    }
    return Queue(connection, part ? MHD_HTTP_PARTIAL_CONTENT : MHD_HTTP_OK, std::move(response), target,
                 count);
}

} // namespace station
