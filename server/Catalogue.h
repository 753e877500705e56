#pragma once
// The loaded archive with its response bodies made once, ready to serve from any thread. Nothing in it
// changes after Build.

#include "Archive.h"
#include "ArchiveSearch.h"
#include "Result.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace station {

// Each body with its entity tag, made when the archive is loaded from the versions of the files it was
// built from.
struct ServedStream {
    const Stream* stream = nullptr;
    std::string trackListBody;
    std::string chatBody;
    std::string trackListTag;
    std::string chatTag;
};

struct ServedStation {
    const Station* station = nullptr;
    std::string infoBody;
    std::string infoTag;
    std::map<std::int32_t, ServedStream> streams;
};

class Catalogue {
public:
    static Result<std::shared_ptr<const Catalogue>> Build(Archive archive);

    const Archive& archive() const { return archive_; }
    // The station served under `basePath`, or null.
    const ServedStation* FindStation(std::string_view basePath) const;
    std::string DirectoryBody(std::string_view host, std::uint16_t port) const;
    // Null when the archive offers no update (information or installer).
    const std::string* UpdateInfoBody() const { return updateInfo_ ? &*updateInfo_ : nullptr; }
    const std::string* UpdateDownloadBody() const { return updateDownload_ ? &*updateDownload_ : nullptr; }
    // Their entity tags.
    const std::string& UpdateInfoTag() const { return updateInfoTag_; }
    const std::string& UpdateDownloadTag() const { return updateDownloadTag_; }
    // The search index of the archive, built with the catalogue.
    const ArchiveSearch& search() const { return search_; }

private:
    Catalogue() = default;

    Archive archive_;
    std::map<std::string, ServedStation, std::less<>> stations_;
    std::optional<std::string> updateInfo_;
    std::optional<std::string> updateDownload_;
    std::string updateInfoTag_;
    std::string updateDownloadTag_;
    ArchiveSearch search_;
};

} // namespace station
