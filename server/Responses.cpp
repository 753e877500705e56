#include "Responses.h"

#include "RecordWriter.h"

#include <algorithm>
#include <limits>

namespace station {
namespace {

std::int32_t Count(std::size_t n) {
    return static_cast<std::int32_t>(std::min<std::size_t>(n, std::numeric_limits<std::int32_t>::max()));
}

} // namespace

std::string DirectoryBody(const Archive& archive, std::string_view host, std::uint16_t port) {
    RecordWriter writer;
    writer.Begin(ResponseRecordType_DirectoryHeader);
    writer.U8(kDirectoryFormatVersion);
    writer.I32(Count(archive.stations.size()));
    writer.End();
    for (const auto& [id, station] : archive.stations) {
        // Host and base path are byte strings the player must get whole; the archive loader keeps them
        // short, so only the name may need cutting.
        const std::string_view stationHost = station.host.empty() ? host : std::string_view(station.host);
        std::vector<std::string_view> name = {station.name};
        RecordWriter::FitTexts(name, 1 + 4 + 2 + 2 + stationHost.size() + 2 + station.basePath.size());
        writer.Begin(ResponseRecordType_DirectoryStation);
        writer.I32(id);
        writer.U16(station.port != 0 ? station.port : port);
        writer.Text(name[0]);
        writer.Text(stationHost);
        writer.Text(station.basePath);
        writer.End();
    }
    return writer.Take();
}

std::string StationInfoBody(const Station& station) {
    RecordWriter writer;
    const bool withDescription = !station.description.empty();
    std::vector<std::string_view> texts = {station.name};
    if (withDescription)
        texts.push_back(station.description);
    RecordWriter::FitTexts(texts, 1 + 1 + 4);
    writer.Begin(ResponseRecordType_StationHeader);
    writer.U8(withDescription ? kStationInfoFormatVersionDescription : kStationInfoFormatVersionPlain);
    for (auto text : texts)
        writer.Text(text);
    writer.I32(Count(station.streams.size()));
    writer.End();
    for (const auto& [id, stream] : station.streams) {
        std::vector<std::string_view> streamTexts = {stream.text1, stream.text2, stream.text3};
        RecordWriter::FitTexts(streamTexts, 27);
        writer.Begin(ResponseRecordType_Stream);
        writer.I32(id);
        writer.I32(stream.startTime);
        writer.U32(stream.duration);
        writer.U32(static_cast<std::uint32_t>(stream.size)); // the loader refuses recordings of 4 GiB
        writer.U8(stream.type);
        writer.I32(stream.extraValue1);
        writer.U8(stream.hasChat ? 1 : 0);
        writer.I32(stream.extraValue2);
        for (auto text : streamTexts)
            writer.Text(text);
        writer.End();
    }
    return writer.Take();
}

std::string TrackListBody(const Stream& stream) {
    RecordWriter writer;
    writer.Begin(ResponseRecordType_TrackListHeader);
    writer.U8(kTrackListFormatVersion);
    writer.I32(Count(stream.tracks.size()));
    writer.End();
    for (const Track& track : stream.tracks) {
        std::vector<std::string_view> texts = {track.text1, track.text2};
        RecordWriter::FitTexts(texts, 11);
        writer.Begin(ResponseRecordType_Track);
        writer.I32(track.start);
        writer.I32(track.secondTime);
        writer.U8(track.kind);
        writer.U8(track.flag ? 1 : 0);
        writer.Text(texts[0]);
        writer.Text(texts[1]);
        writer.End();
    }
    if (!stream.chatSync.empty()) {
        writer.Begin(ResponseRecordType_ChatSync);
        writer.U8(kChatSyncFormatVersion);
        writer.U16(static_cast<std::uint16_t>(stream.chatSync.size()));
        for (const ChatSyncPoint& point : stream.chatSync) {
            writer.I32(point.playSecond);
            writer.I32(point.chatSecond);
        }
        writer.End();
    }
    return writer.Take();
}

std::string ChatBody(const Stream& stream) {
    RecordWriter writer;
    std::vector<std::string_view> channel = {stream.channel};
    RecordWriter::FitTexts(channel, 1 + 1 + 4);
    writer.Begin(ResponseRecordType_ChatHeader);
    writer.U8(kChatFormatVersion);
    writer.Text(channel[0]);
    writer.I32(Count(stream.chat.size()));
    writer.End();
    std::vector<std::string_view> args;
    for (const ChatRow& row : stream.chat) {
        args.assign(row.args.begin(), row.args.begin() + std::min(row.args.size(), kMaxChatArgs));
        RecordWriter::FitTexts(args, 7);
        writer.Begin(ResponseRecordType_ChatRow);
        writer.I32(row.time);
        writer.U8(row.kind);
        writer.U8(static_cast<std::uint8_t>(args.size()));
        for (auto arg : args)
            writer.Text(arg);
        writer.End();
    }
    return writer.Take();
}

std::string UpdateInfoBody(std::int32_t newestVersion) {
    RecordWriter writer;
    writer.Begin(ResponseRecordType_UpdateInformation);
    writer.U8(kUpdateFormatVersion);
    writer.I32(newestVersion);
    writer.End();
    return writer.Take();
}

Result<std::string> UpdateDownloadBody(std::string_view installer,
                                       std::optional<std::string_view> signature) {
    if (installer.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return Failure{"", 0, "the installer is larger than 2 GiB"};
    RecordWriter writer;
    writer.Begin(ResponseRecordType_UpdateHeader);
    writer.U8(kUpdateFormatVersion);
    writer.I32(static_cast<std::int32_t>(installer.size()));
    writer.End();
    for (std::size_t offset = 0; offset < installer.size(); offset += kMaxUpdateDataBytes) {
        const std::string_view piece = installer.substr(offset, kMaxUpdateDataBytes);
        writer.Begin(ResponseRecordType_UpdateData);
        writer.U16(static_cast<std::uint16_t>(piece.size()));
        writer.Bytes(piece);
        writer.End();
    }
    if (signature) {
        if (signature->size() > kMaxUpdateDataBytes)
            return Failure{"", 0, "the installer's signature file is larger than one record holds"};
        writer.Begin(ResponseRecordType_UpdateSignature);
        writer.U16(static_cast<std::uint16_t>(signature->size()));
        writer.Bytes(*signature);
        writer.End();
    }
    return writer.Take();
}

} // namespace station
