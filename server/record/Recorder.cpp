#include "Recorder.h"

#include "ArchiveFiles.h"
#include "ArchiveLoader.h"
#include "Text.h"
#include "TimeText.h"
#include "records/CatalogueRecords.h"

#include <cmath>
#include <cstdio>
#include <fstream>

namespace station::record {
namespace {

double WallNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void Say(const std::string& line) {
    std::printf("vantri-station: %s\n", line.c_str());
    std::fflush(stdout);
}

void Complain(const std::string& line) {
    std::fprintf(stderr, "vantri-station: %s\n", line.c_str());
    std::fflush(stderr);
}

bool IsMp3Type(std::string_view type) {
    const std::string lower = ToLower(Trim(type.substr(0, type.find(';'))));
    return lower.empty() || lower == "audio/mpeg" || lower == "audio/mp3" || lower == "audio/x-mpeg" ||
           lower == "audio/mpeg3" || lower == "audio/x-mp3";
}

// Seconds of audio in a recording on disk, by its frame headers.
double AudioSeconds(const std::filesystem::path& path) {
    Mp3FrameClock clock;
    std::ifstream in(path, std::ios::binary);
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        clock.Feed(std::string_view(buffer, static_cast<std::size_t>(in.gcount())));
    return clock.seconds();
}

// The last `bytes` bytes of a file.
std::string FileTail(const std::filesystem::path& path, std::size_t bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    if (size <= 0)
        return {};
    const std::streamoff from = std::max<std::streamoff>(0, size - static_cast<std::streamoff>(bytes));
    in.seekg(from);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    return tail;
}

std::string TrackText(const std::string& title) {
    std::string artist;
    std::string name;
    SplitTitle(title, artist, name);
    return ArchiveLine(artist) + "\t" + ArchiveLine(name);
}

} // namespace

Recorder::Recorder(RecordOptions options) : options_(std::move(options)), icecast_(options_.icecast, *this) {
    if (options_.irc)
        irc_.emplace(
            *options_.irc, [this](const ChatEvent& event) { OnChat(event); },
            [](const std::string& line) { Complain(line); });
}

Recorder::~Recorder() = default;

void Recorder::Log(const std::string& line) {
    Complain(line);
}

void Recorder::Publish(ShowFolder show, const std::string& when) {
    const std::string name = show.folder().string();
    auto published = show.Publish();
    if (!published) {
        Complain("cannot publish the show " + when + ": " + published.failure().Text() +
                 (std::filesystem::exists(show.folder())
                      ? "; it stays in " + name + " and is published when record starts again"
                      : std::string()));
        return;
    }
    Say("published show " + std::to_string(published->streamId) + " " + when + ": " +
        FormatOffset(published->duration) + ", " + std::to_string(published->size) + " bytes, " +
        std::to_string(published->tracks) + " tracks, " + std::to_string(published->chatRows) +
        " chat rows in " + published->folder.string());
}

void Recorder::FlushHeld() {
    if (!trimmer_.holding())
        return;
    const std::string held = trimmer_.Expire(trimmer_.holdEnds());
    clock_.Resync();
    Record(held);
}

void Recorder::EndShow(const std::string& when) {
    if (!show_)
        return;
    FlushHeld();
    ShowFolder show = std::move(*show_);
    show_.reset();
    goneSince_.reset();
    clock_ = Mp3FrameClock();
    trimmer_ = OverlapTrimmer();
    recoveredSeconds_ = 0;
    haveTitle_ = false;
    lastTitle_.clear();
    Publish(std::move(show), when);
}

void Recorder::Fault(const std::string& problem) {
    std::string kept;
    if (show_)
        kept = " The show so far (" + std::to_string(show_->bytes()) + " bytes, " +
               FormatOffset(static_cast<std::int64_t>(recoveredSeconds_ + clock_.seconds())) + ") is kept.";
    Complain(problem + "." + kept);
    EndShow("so far");
    exitStatus_ = 1;
}

void Recorder::Recover() {
    const auto left = ShowFolder::FindLeftBehind(options_.archive, options_.stationId);
    for (std::size_t i = 0; i < left.size(); ++i) {
        auto show = ShowFolder::Reopen(left[i]);
        if (!show) {
            Complain("cannot recover the show in " + left[i].string() + ": " + show.failure().Text());
            continue;
        }
        const double age = WallNow() - static_cast<double>(show->lastWrite());
        const bool newest = i + 1 == left.size();
        const double grace = std::chrono::duration<double>(options_.grace).count();
        if (newest && show->bytes() > 0 && age < grace) {
            // Its broadcast may still be on: continue it if the mount comes back within the grace time.
            Say("recovered show " + std::to_string(show->streamId()) + " (" + std::to_string(show->bytes()) +
                " bytes); it continues if the broadcast is back within the grace time");
            // A fresh clock counts on from where the recording ends.
            clock_ = Mp3FrameClock();
            recoveredSeconds_ = AudioSeconds(show->folder() / kRecordingName);
            trimmer_ = OverlapTrimmer();
            trimmer_.Remember(FileTail(show->folder() / kRecordingName, OverlapTrimmer::kTailBytes));
            lastTitle_ = show->lastTrackText();
            haveTitle_ = show->tracks() > 0;
            goneSince_ = Clock::now() -
                         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(age));
            show_ = std::move(*show);
            continue;
        }
        Say("recovered show " + std::to_string(show->streamId()) + " that an earlier run left");
        Publish(std::move(*show), "recovered");
    }
}

int Recorder::Run() {
    StopSignals stop;
    if (auto station = EnsureStation(options_.archive, options_.stationId, options_.stationName,
                                     options_.stationDescription);
        !station) {
        Complain(station.failure().Text());
        return 1;
    }
    Recover();
    Say("recording http://" + options_.icecast.host + ":" + std::to_string(options_.icecast.port) +
        options_.icecast.mount +
        (options_.irc ? " and " + options_.irc->channel + " on " + options_.irc->host : "") +
        " for station " + std::to_string(options_.stationId));
    while (!exitStatus_) {
        std::vector<Waited> waits(3);
        waits[0].handle = stop.handle();
        waits[0].wantRead = true;
        waits[1] = icecast_.Interest();
        if (irc_)
            waits[2] = irc_->Interest();
        auto now = Clock::now();
        Clock::time_point deadline = std::min(now + std::chrono::seconds(1), icecast_.Deadline());
        if (irc_)
            deadline = std::min(deadline, irc_->Deadline());
        if (goneSince_)
            deadline = std::min(deadline, *goneSince_ + options_.grace);
        if (trimmer_.holding())
            deadline = std::min(deadline, trimmer_.holdEnds());
        Wait(waits, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                        std::chrono::milliseconds(1));
        if (stop.Arrived()) {
            EndShow("at the recorder's stop");
            return 0;
        }
        now = Clock::now();
        if (waits[1].readable || waits[1].writable)
            icecast_.OnReady(waits[1], now);
        if (irc_ && (waits[2].readable || waits[2].writable))
            irc_->OnReady(waits[2], now);
        if (exitStatus_)
            break;
        now = Clock::now();
        icecast_.Tick(now);
        if (irc_)
            irc_->Tick(now);
        if (trimmer_.holding() && now >= trimmer_.holdEnds())
            FlushHeld();
        if (show_ && goneSince_ && now >= *goneSince_ + options_.grace)
            EndShow("after the broadcast ended");
    }
    return *exitStatus_;
}

void Recorder::OnMountUp(const IcyHead& head) {
    if (exitStatus_)
        return;
    if (!IsMp3Type(head.contentType)) {
        Fault("the mount " + options_.icecast.mount + " sends '" + EscapedForLog(head.contentType) +
              "', not MP3; only MP3 broadcasts can be recorded");
        return;
    }
    if (show_) {
        const auto gap = goneSince_ ? std::chrono::duration<double>(Clock::now() - *goneSince_).count() : 0.0;
        goneSince_.reset();
        trimmer_.Reconnected(Clock::now());
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", gap);
        Say("show " + std::to_string(show_->streamId()) + " continues after a break of " + text + " s");
        return;
    }
    const double start = WallNow();
    Stream facts = options_.facts;
    facts.startTime = static_cast<std::int32_t>(std::floor(start));
    auto show = ShowFolder::Begin(options_.archive, options_.stationId, facts);
    if (!show) {
        Fault("cannot begin a show: " + show.failure().Text());
        return;
    }
    show_ = std::move(*show);
    clock_ = Mp3FrameClock();
    recoveredSeconds_ = 0;
    haveTitle_ = false;
    lastTitle_.clear();
    Say("show " + std::to_string(show_->streamId()) + " began at " + FormatUtc(facts.startTime) + " UTC" +
        (head.name.empty() ? std::string() : " (" + head.name + ")"));
    // Chat from shortly before the show, at negative times.
    for (const Early& early : early_) {
        if (early.wallTime < start - static_cast<double>(options_.chatMargin))
            continue;
        ChatRow row;
        row.time = static_cast<std::int32_t>(std::floor(early.wallTime - start));
        row.kind = early.event.kind;
        row.args = early.event.args;
        if (auto added = show_->AddChat(row); !added) {
            Fault("cannot write the chat: " + added.failure().Text());
            return;
        }
    }
    early_.clear();
}

void Recorder::OnAudio(std::string_view bytes) {
    if (!show_ || exitStatus_)
        return;
    const bool wasHolding = trimmer_.holding();
    const std::string placed = trimmer_.Take(bytes, Clock::now());
    if (wasHolding && !trimmer_.holding() && trimmer_.trimmed() == 0)
        clock_.Resync(); // a new session: its first frame starts afresh
    if (wasHolding && trimmer_.trimmed() != 0)
        Say("show " + std::to_string(show_->streamId()) + ": left out " + std::to_string(trimmer_.trimmed()) +
            " bytes the server sent again");
    Record(placed);
}

void Recorder::Record(std::string_view bytes) {
    if (!show_ || bytes.empty())
        return;
    if (auto written = show_->AppendAudio(bytes); !written) {
        Fault("cannot write the recording: " + written.failure().Text());
        return;
    }
    clock_.Feed(bytes);
    trimmer_.Remember(bytes);
}

void Recorder::OnTitle(const std::string& title) {
    if (!show_ || exitStatus_)
        return;
    if (title.empty()) {
        // A title taken away: the next one starts a track even if it repeats the last.
        lastTitle_.clear();
        return;
    }
    const std::string text = TrackText(title);
    if (haveTitle_ && text == lastTitle_)
        return;
    std::string artist;
    std::string name;
    SplitTitle(title, artist, name);
    // The show's first title names what plays from its start.
    const std::int32_t start =
        show_->tracks() == 0 ? 0
                             : static_cast<std::int32_t>(std::floor(recoveredSeconds_ + clock_.seconds()));
    if (auto added = show_->AddTrack(start, artist, name); !added) {
        Fault("cannot write the track list: " + added.failure().Text());
        return;
    }
    lastTitle_ = text;
    haveTitle_ = true;
}

void Recorder::OnMountDown(const std::string& why) {
    if (!show_)
        return;
    FlushHeld();
    goneSince_ = Clock::now();
    char grace[32];
    std::snprintf(grace, sizeof grace, "%g", static_cast<double>(options_.grace.count()) / 1000.0);
    Complain("icecast: " + why + "; show " + std::to_string(show_->streamId()) +
             " ends unless the broadcast is back within " + grace + " s");
}

void Recorder::OnChat(const ChatEvent& event) {
    if (exitStatus_)
        return;
    ChatEvent cleaned;
    cleaned.kind = event.kind;
    for (const std::string& arg : event.args)
        cleaned.args.push_back(ArchiveLine(arg));
    if (!ChatRowFits(cleaned.kind, cleaned.args)) {
        // An event the player would not show as such: keep its words as a plain line.
        std::string joined;
        for (const std::string& arg : cleaned.args)
            joined += (joined.empty() ? "" : " ") + arg;
        cleaned.kind = StreamChatRowKind_Plain;
        cleaned.args = {joined};
    }
    if (!show_) {
        const double now = WallNow();
        early_.push_back({now, std::move(cleaned)});
        while (!early_.empty() && early_.front().wallTime < now - static_cast<double>(options_.chatMargin))
            early_.pop_front();
        return;
    }
    ChatRow row;
    row.time = static_cast<std::int32_t>(std::floor(recoveredSeconds_ + clock_.seconds()));
    row.kind = cleaned.kind;
    row.args = std::move(cleaned.args);
    if (auto added = show_->AddChat(row); !added)
        Fault("cannot write the chat: " + added.failure().Text());
}

} // namespace station::record
