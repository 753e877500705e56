#pragma once
// What wakes the serving program: a stop signal (SIGINT, SIGTERM), a rescan signal (SIGHUP), or a
// change in the archive's station folders (a station or stream appearing, going or being renamed into
// place; names starting with "." are not looked at), watched with the system's file notifications.
// Changes that come in a burst wake it once, after they settle.

#include "Result.h"

#include <chrono>
#include <filesystem>
#include <memory>

namespace station {

class ArchiveWatch {
public:
    enum class Wake { Stop, Rescan };

    // Call before any thread starts: it blocks the three signals so that only Wait receives them.
    // Without file notifications the watch still takes the signals (watching() is then false).
    static Result<std::unique_ptr<ArchiveWatch>> Start(const std::filesystem::path& archive);
    ~ArchiveWatch();
    ArchiveWatch(const ArchiveWatch&) = delete;
    ArchiveWatch& operator=(const ArchiveWatch&) = delete;

    Wake Wait();
    // Watches the stations folder and every station and streams folder there now; call after each scan.
    void Refresh();
    bool watching() const;

    // How long changes must be quiet before a rescan, and the longest a burst delays one.
    std::chrono::milliseconds settle{100};
    std::chrono::milliseconds longestDelay{2000};

    struct State;

private:
    explicit ArchiveWatch(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace station
