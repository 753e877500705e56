#include "Catalogue.h"

#include "Files.h"
#include "HttpCaching.h"
#include "Responses.h"

#include "records/ProgramVersion.h"
#include "records/UpdateInstaller.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace station {

namespace {

// Players run only an installer whose signed trusted comment names a version above their own: one that
// names another version than the offer would be downloaded and refused by every player at every start.
std::optional<std::string> CheckSignedVersion(std::string_view signature, std::int32_t offered) {
    constexpr std::string_view kTrusted = "\ntrusted comment: ";
    const std::size_t at = signature.find(kTrusted);
    std::string_view comment;
    if (at != std::string_view::npos) {
        comment = signature.substr(at + kTrusted.size());
        comment = comment.substr(0, comment.find_first_of("\r\n"));
    }
    const auto version = UpdateVersionFromTrustedComment(comment);
    if (!version)
        return "the signature's trusted comment does not name the version, as players require (sign with "
               "-t \"" +
               UpdateTrustedComment(static_cast<std::uint32_t>(offered)) + "\")";
    if (*version != static_cast<std::uint32_t>(offered))
        return "the signature names version " + FormatProgramVersion(*version) +
               " but 'update-version' offers " + FormatProgramVersion(static_cast<std::uint32_t>(offered));
    return std::nullopt;
}

} // namespace

Result<std::shared_ptr<const Catalogue>> Catalogue::Build(Archive archive) {
    std::shared_ptr<Catalogue> catalogue(new Catalogue());
    catalogue->archive_ = std::move(archive);
    for (const auto& [id, station] : catalogue->archive_.stations) {
        ServedStation served;
        served.station = &station;
        served.infoBody = StationInfoBody(station);
        // The station's information lists its streams: it changes with any of them.
        std::string infoSources = station.sources;
        for (const auto& [streamId, stream] : station.streams) {
            ServedStream& s = served.streams[streamId];
            s.stream = &stream;
            s.trackListBody = TrackListBody(stream);
            s.chatBody = ChatBody(stream);
            s.trackListTag = SourceTag("tracks", stream.sources, s.trackListBody.size());
            s.chatTag = SourceTag("chat", stream.sources, s.chatBody.size());
            infoSources.append(reinterpret_cast<const char*>(&streamId), sizeof streamId);
            infoSources += stream.sources;
        }
        served.infoTag = SourceTag("station", infoSources, served.infoBody.size());
        catalogue->stations_.emplace(station.basePath, std::move(served));
    }
    catalogue->search_.Build(catalogue->archive_);
    if (const auto& update = catalogue->archive_.update) {
        catalogue->updateInfo_ = station::UpdateInfoBody(update->newestVersion);
        catalogue->updateInfoTag_ = ContentTag(*catalogue->updateInfo_);
        if (!update->installer.empty()) {
            // Installers are small; above the players' limit something is wrong with the configuration.
            auto bytes = ReadWholeFile(update->installer, kMaxUpdateInstallerBytes);
            if (!bytes)
                return bytes.failure();
            // The makers' signature lies beside the installer, named as minisign names it.
            fs::path signaturePath = update->installer;
            signaturePath += ".minisig";
            std::optional<std::string> signature;
            std::error_code error;
            if (fs::is_regular_file(signaturePath, error)) {
                auto text = ReadWholeFile(signaturePath, 1u << 16);
                if (!text)
                    return text.failure();
                signature = std::move(*text);
                if (auto mismatch = CheckSignedVersion(*signature, update->newestVersion))
                    return Failure{signaturePath.string(), 0, *mismatch};
            }
            auto body = station::UpdateDownloadBody(
                *bytes, signature ? std::optional<std::string_view>(*signature) : std::nullopt);
            if (!body)
                return Failure{update->installer.string(), 0, body.failure().message};
            catalogue->updateDownload_ = std::move(*body);
            // Hashed once here: the installer is small, and read whole anyway.
            catalogue->updateDownloadTag_ = ContentTag(*catalogue->updateDownload_);
        }
    }
    return std::shared_ptr<const Catalogue>(std::move(catalogue));
}

const ServedStation* Catalogue::FindStation(std::string_view basePath) const {
    const auto found = stations_.find(basePath);
    return found == stations_.end() ? nullptr : &found->second;
}

std::string Catalogue::DirectoryBody(std::string_view host, std::uint16_t port) const {
    return station::DirectoryBody(archive_, host, port);
}

} // namespace station
